// The play list and the coordinator as the player page and the play-list panel use them.
import QtQuick 2.15
import QtTest 1.15
import Tavrixo 1.0

TestCase {
    id: testCase
    name: "PlaylistQml"
    when: windowShown

    PlaybackCoordinator {
        id: coordinator
        playlistModel: playlistStore
    }

    Connections {
        target: playlistStore
        function onCurrentFileUrlChanged() { coordinator.onPlaylistCurrentFileChanged(playlistStore.currentFileUrl) }
    }

    SignalSpy { id: playSpy; target: coordinator; signalName: "playFileRequested" }
    SignalSpy { id: clearSpy; target: coordinator; signalName: "clearPlaybackRequested" }

    Repeater {
        id: rows
        model: playlistStore
        delegate: Item { property string rowTitle: title; property string rowTag: tag; property string rowPath: sourcePath }
    }

    function fileUrl(name) { return "file://" + mediaDir + "/" + encodeURIComponent(name) }

    function init() {
        playlistStore.clear()
        playSpy.clear()
        clearSpy.clear()
    }

    function test_dropAddsAndPlaysFirstFile() {
        playlistStore.addFiles([fileUrl("c d.mkv"), fileUrl("b.mp3"), "file:///nowhere/notes.txt"], false)
        compare(playlistStore.count, 2)
        compare(rows.count, 2)
        compare(rows.itemAt(0).rowTitle, "c d")
        compare(rows.itemAt(0).rowTag, "VIDEO")
        compare(rows.itemAt(0).rowPath, mediaDir + "/c d.mkv")
        compare(rows.itemAt(1).rowTag, "AUDIO")
        compare(playlistStore.currentSourcePath, mediaDir + "/c d.mkv")
        compare(playSpy.count, 1)
        compare(playSpy.signalArguments[0][0], playlistStore.currentFileUrl)
        verify(playlistStore.isSupportedFileUrl(fileUrl("a.mp4")))
        verify(!playlistStore.isSupportedFileUrl("file:///x/notes.txt"))
    }

    function test_endOfFileFollowsTheMode() {
        playlistStore.playbackMode = 2 // list loop
        compare(playlistStore.playbackMode, 2)
        playlistStore.addFiles([fileUrl("a.mp4"), fileUrl("b.mp3")], false)
        coordinator.onPlaybackFinished(fileUrl("a.mp4"))
        compare(playlistStore.currentSourcePath, mediaDir + "/b.mp3")
        coordinator.onPlaybackFinished(playlistStore.currentFileUrl)
        compare(playlistStore.currentIndex, 0)
        compare(playSpy.count, 3)
    }

    function test_staleEndIsIgnored() {
        playlistStore.playbackMode = 1
        playlistStore.addFiles([fileUrl("a.mp4"), fileUrl("b.mp3"), fileUrl("c d.mkv")], false)
        playlistStore.activateIndex(2)
        coordinator.onPlaybackFinished(fileUrl("a.mp4"))
        compare(playlistStore.currentIndex, 2)
        compare(playSpy.count, 2)
    }

    function test_stopWritesAndRemoval() {
        playlistStore.playbackMode = 0 // single
        playlistStore.addFiles([fileUrl("a.mp4"), fileUrl("b.mp3")], false)
        verify(playlistStore.removeAt(0))
        compare(playlistStore.currentIndex, -1)
        compare(clearSpy.count, 1)
        compare(coordinator.playlistModel, playlistStore)
    }
}
