// The play-list panel over the real play list: view mode kept in player.ini across reloads,
// row tags and the damaged marker, drops that report the files they refuse, mode menu.
import QtQuick 2.14
import QtTest 1.14
import "qrc:/qml/app/media_player/components"

Item {
    id: root
    width: 300
    height: 600

    Component {
        id: panelComponent
        PlayerListPanel { width: 300; height: 600 }
    }

    Component {
        id: spyComponent
        SignalSpy { signalName: "filesRefused" }
    }

    TestCase {
        name: "PlayerListPanel"
        when: windowShown

        property string urlA: ""
        property string urlB: ""
        property string urlText: ""

        function initTestCase() {
            urlA = testServices.fileUrl(testServices.writeMediaFile("big.mp4"))
            urlB = testServices.fileUrl(testServices.writeMediaFile("song.mp3"))
            urlText = testServices.fileUrl(testServices.writeMediaFile("readme.txt"))
            testServices.previews = {
                "big.mp4": { thumbnailPath: "", durationSeconds: 10, durationText: "00:00:10", qualityTag: "4K",
                             parseFailed: false, loading: false },
                "song.mp3": { thumbnailPath: "", durationSeconds: 3, durationText: "00:00:03", qualityTag: "1080P",
                              parseFailed: true, loading: false }
            }
        }

        function init() {
            playlistStore.clear()
        }

        function rowAt(panel, index) {
            panel.listView.currentIndex = index
            return panel.listView.currentItem
        }

        function test_thumbnailModeSurvivesReload() {
            var panel = createTemporaryObject(panelComponent, root)
            verify(!panel.thumbnailMode)
            panel.thumbnailMode = true
            panel.destroy()
            wait(0)
            panel = createTemporaryObject(panelComponent, root)
            verify(panel.thumbnailMode)
            panel.thumbnailMode = false
            panel.destroy()
            wait(0)
            panel = createTemporaryObject(panelComponent, root)
            verify(!panel.thumbnailMode)
        }

        function test_rowsShowTagsAndDamagedMarker() {
            playlistStore.addFiles([urlA, urlB], false)
            var panel = createTemporaryObject(panelComponent, root)
            tryCompare(panel.listView, "count", 2)
            var video = rowAt(panel, 0)
            var audio = rowAt(panel, 1)
            compare(video.tags, ["VIDEO", "4K"])
            compare(findChild(video, "rowDuration").text, "00:00:10")
            compare(audio.tags, ["AUDIO"])
            compare(findChild(audio, "rowDuration").text, i18n.t("ui.text.file.damaged"))
            verify(audio.durationState.damaged)
        }

        function test_previewReadyUpdatesRow() {
            playlistStore.addFiles([urlB], false)
            var panel = createTemporaryObject(panelComponent, root)
            tryCompare(panel.listView, "count", 1)
            var row = rowAt(panel, 0)
            testServices.announcePreview(row.sourcePath, { loading: true })
            compare(findChild(row, "rowDuration").text, i18n.t("ui.text.common.loading_ellipsis"))
            testServices.announcePreview(row.sourcePath, { loading: false, durationText: "00:01:40", qualityTag: "8K" })
            compare(findChild(row, "rowDuration").text, "00:01:40")
            compare(row.tags, ["AUDIO", "8K"])
        }

        function test_dropReportsRefusedFiles() {
            var panel = createTemporaryObject(panelComponent, root)
            var refusals = createTemporaryObject(spyComponent, root, { target: panel })
            var inside = testServices.writeMediaFile("album/inside.mp4")
            var folder = testServices.fileUrl(inside.replace(/\/inside\.mp4$/, ""))
            verify(panel.dropAccepts([urlText, urlA]))
            verify(panel.dropAccepts([folder]))
            verify(!panel.dropAccepts(["http://example.invalid/a.mp4"]))
            compare(panel.dropFiles([urlA, urlText, folder, urlB, "http://example.invalid/a.mp4"]), 2)
            compare(playlistStore.count, 2)
            compare(refusals.count, 1)
            compare(JSON.stringify(refusals.signalArguments[0][0]),
                    JSON.stringify([{ url: urlText, reason: "unsupported" }, { url: folder, reason: "folder" }]))
            compare(panel.dropFiles([urlA]), 1)
            compare(refusals.count, 1)
        }

        function test_addKeepsCurrentWhenAsked() {
            playlistStore.addFiles([urlA], false)
            var panel = createTemporaryObject(panelComponent, root, { preserveCurrentOnAdd: true })
            panel.addSelectedFiles([urlB])
            compare(playlistStore.currentIndex, 0)
            playlistStore.clear()
            panel.preserveCurrentOnAdd = false
            panel.addSelectedFiles([urlA, urlB])
            compare(playlistStore.currentIndex, 0)
            compare(playlistStore.count, 2)
        }

        function test_highlightFollowsFlag() {
            playlistStore.addFiles([urlA, urlB], false)
            var panel = createTemporaryObject(panelComponent, root, { highlightCurrentItem: false })
            tryCompare(panel.listView, "count", 2)
            verify(!rowAt(panel, 0).current)
            panel.highlightCurrentItem = true
            verify(rowAt(panel, 0).current)
            verify(!rowAt(panel, 1).current)
        }

        function test_modeMenuWritesThePlayList() {
            var panel = createTemporaryObject(panelComponent, root)
            playlistStore.playbackMode = 0
            panel.toggleModeMenu()
            tryCompare(panel.modeMenu, "opened", true)
            var row = findChild(panel.modeMenu.contentItem, "modeRow_2")
            verify(row)
            mouseClick(row)
            compare(playlistStore.playbackMode, 2)
            tryCompare(panel.modeMenu, "opened", false)
        }

        function test_removeAndActivate() {
            playlistStore.addFiles([urlA, urlB], false)
            var panel = createTemporaryObject(panelComponent, root)
            tryCompare(panel.listView, "count", 2)
            rowAt(panel, 1).activateRequested(1)
            compare(playlistStore.currentIndex, 1)
            rowAt(panel, 0).removeRequested(0)
            compare(playlistStore.count, 1)
            panel.clearAll()
            compare(playlistStore.count, 0)
            verify(findChild(panel, "playlistEmptyText").visible)
        }
    }
}
