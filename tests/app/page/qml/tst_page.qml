// The player page with the real play list and coordinator over a recording engine: start-up
// file, drops, stale ends, reopening after stop or end, Space, tools and the toast.
import QtQuick 2.14
import QtQuick.Window 2.14
import QtTest 1.14

Item {
    id: root
    width: 1280
    height: 760

    Component {
        id: pageComponent
        Loader {
            anchors.fill: parent
        }
    }

    SignalSpy { id: toastSpy; signalName: "shown" }
    SignalSpy { id: toolSpy; signalName: "toolRequested" }

    TestCase {
        name: "MediaPlayerPage"
        when: windowShown

        property string urlA: ""
        property string urlB: ""
        property string urlC: ""
        property string urlText: ""

        function initTestCase() {
            urlA = testServices.fileUrl(testServices.writeMediaFile("a.mp4"))
            urlB = testServices.fileUrl(testServices.writeMediaFile("b.mkv"))
            urlC = testServices.fileUrl(testServices.writeMediaFile("c.mp3"))
            urlText = testServices.fileUrl(testServices.writeMediaFile("notes.txt"))
        }

        function init() {
            playlistStore.clear()
            playlistStore.playbackMode = 1
            testServices.clearCalls()
        }

        function createPage(properties) {
            var loader = createTemporaryObject(pageComponent, root)
            // Properties are set before completion, as the main window hands them over on load.
            loader.setSource("qrc:/qml/app/media_player/MediaPlayerPage.qml", properties ? properties : {})
            tryCompare(loader, "status", Loader.Ready)
            var page = loader.item
            toastSpy.clear()
            toastSpy.target = page.statusToast
            toolSpy.clear()
            toolSpy.target = page
            return page
        }

        function engineOf(page) {
            return page.playerView.videoPlayer.engine
        }

        function test_startupFileWinsOverRestoredList() {
            playlistStore.addFiles([urlA, urlB], false)
            playlistStore.currentIndex = 1
            var page = createPage({ startupMediaFileUrl: urlC })
            verify(page.startupMediaApplied)
            compare(String(playlistStore.currentFileUrl), urlC)
            tryCompare(page, "playerHasMedia", true)
            var engine = engineOf(page)
            compare(engine.countCalls("playFile:"), 1)
            compare(engine.calls.filter(function (c) { return c.indexOf("playFile:") === 0 })[0], "playFile:" + urlC)
            compare(String(page.playerView.currentFileUrl), urlC)
        }

        function test_startWithoutFilePlaysNothing() {
            playlistStore.addFiles([urlA, urlB], false)
            var page = createPage()
            compare(playlistStore.currentIndex, -1)
            compare(playlistStore.count, 2)
            verify(!page.playerHasMedia)
            verify(page.placeholder.visible)
            compare(engineOf(page).countCalls("playFile:"), 0)
            compare(testServices.countCalls("setPlaybackActive:false"), 1)
        }

        // Every way a file arrives says which file was refused and why; the playable ones open.
        function test_refusedFilesAreNamed_data() {
            return [
                { tag: "drop: mixed gives one toast", via: "drop", files: ["a", "text", "b"], count: 2, current: "a",
                  toast: ["ui.text.open.refused", "notes.txt", "ui.text.open.reason.unsupported", 1] },
                { tag: "drop: only unsupported changes nothing", via: "drop", files: ["text"], count: 0, current: "",
                  toast: ["ui.text.open.refused", "notes.txt", "ui.text.open.reason.unsupported", 1] },
                { tag: "drop: supported only, no toast", via: "drop", files: ["b"], count: 1, current: "b", toast: [] },
                { tag: "drop: folder", via: "drop", files: ["folder"], count: 0, current: "",
                  toast: ["ui.text.open.refused", "album", "ui.text.open.reason.folder", 1] },
                { tag: "drop: subtitle and folder", via: "drop", files: ["subtitle", "folder", "a"], count: 1,
                  current: "a", toast: ["ui.text.open.refused_many", "subs.srt", "ui.text.open.reason.subtitle", 2] },
                { tag: "hand-off: unsupported", via: "handoff", files: ["text"], count: 0, current: "",
                  toast: ["ui.text.open.refused", "notes.txt", "ui.text.open.reason.unsupported", 1] },
                { tag: "hand-off: missing", via: "handoff", files: ["missing"], count: 0, current: "",
                  toast: ["ui.text.open.refused", "gone.mp4", "ui.text.open.reason.missing", 1] },
                { tag: "start-up: missing", via: "startup", files: ["missing"], count: 0, current: "",
                  toast: ["ui.text.open.refused", "gone.mp4", "ui.text.open.reason.missing", 1] },
                { tag: "start-up: subtitle", via: "startup", files: ["subtitle"], count: 0, current: "",
                  toast: ["ui.text.open.refused", "subs.srt", "ui.text.open.reason.subtitle", 1] },
                { tag: "panel drop: folder", via: "panel", files: ["folder"], count: 0, current: "",
                  toast: ["ui.text.open.refused", "album", "ui.text.open.reason.folder", 1] },
                { tag: "panel drop: subtitle and folder", via: "panel", files: ["subtitle", "folder", "a"], count: 1,
                  current: "a", toast: ["ui.text.open.refused_many", "subs.srt", "ui.text.open.reason.subtitle", 2] },
                { tag: "panel drop: supported only, no toast", via: "panel", files: ["b"], count: 1, current: "b",
                  toast: [] }
            ]
        }
        function test_refusedFilesAreNamed(data) {
            var folder = testServices.writeMediaFile("album/inside.mp4").replace(/\/inside\.mp4$/, "")
            var urls = { a: urlA, b: urlB, text: urlText, folder: testServices.fileUrl(folder),
                         subtitle: testServices.fileUrl(testServices.writeMediaFile("subs.srt")),
                         missing: testServices.fileUrl(folder.replace(/album$/, "gone.mp4")) }
            var list = data.files.map(function (f) { return urls[f] })
            var page = createPage(data.via === "startup" ? { startupMediaFileUrl: list[0] } : {})
            if (data.via === "drop")
                page.openDroppedFiles(list)
            else if (data.via === "handoff")
                page.openExternalFilesAndPlay(list)
            else if (data.via === "panel") {
                page.setPlaylistCollapsed(false)
                page.playlistPanel.dropFiles(list)
            }
            var shown = data.via === "startup" ? [page.settingsStatusText]
                                               : toastSpy.signalArguments.map(function (a) { return a[0] })
            if (data.toast.length === 0) {
                compare(shown.length, 0)
            } else {
                compare(shown.length, 1)
                compare(shown[0], i18n.t(data.toast[0], { name: data.toast[1], reason: i18n.t(data.toast[2]),
                                                          count: data.toast[3] }))
            }
            compare(playlistStore.count, data.count)
            compare(String(playlistStore.currentFileUrl), data.current.length > 0 ? urls[data.current] : "")
            compare(page.playerHasMedia, data.current.length > 0)
        }

        function test_openingListedFileWhileAnotherPlays() {
            var page = createPage()
            page.openExternalFilesAndPlay([urlA, urlB])
            compare(String(page.playerView.currentFileUrl), urlA)
            page.openExternalFilesAndPlay([urlB])
            compare(String(page.playerView.currentFileUrl), urlB)
            compare(playlistStore.count, 2)
        }

        function test_staleEndIsIgnored() {
            var page = createPage()
            page.openExternalFilesAndPlay([urlA, urlB, urlC])
            playlistStore.activateIndex(1)
            var engine = engineOf(page)
            var plays = engine.countCalls("playFile:")
            page.coordinator.onPlaybackFinished(urlA)
            compare(playlistStore.currentIndex, 1)
            compare(engine.countCalls("playFile:"), plays)
            // The end of the file really playing advances the list.
            engine.finishFile()
            compare(playlistStore.currentIndex, 2)
            compare(String(page.playerView.currentFileUrl), urlC)
        }

        function test_stopThenReopenCurrentPlaysIt() {
            var page = createPage()
            page.openExternalFilesAndPlay([urlA])
            var engine = engineOf(page)
            page.playerView.controlBar.stopRequested()
            verify(!page.playerHasMedia)
            verify(page.placeholder.visible)
            compare(String(playlistStore.currentFileUrl), urlA)
            compare(playlistStore.count, 1)
            var plays = engine.countCalls("playFile:")
            page.openExternalFilesAndPlay([urlA])
            compare(engine.countCalls("playFile:"), plays + 1)
            verify(page.playerHasMedia)
        }

        // Resting on the last frame after the end, the file opened again starts from the top;
        // one still playing is left alone.
        function test_reopenCurrentFile_data() {
            return [
                { tag: "ended in single mode", mode: 0, files: ["a"], finish: true, replays: 1 },
                { tag: "ended at the end of a sequence", mode: 1, files: ["b", "a"], finish: true, replays: 1 },
                { tag: "still playing", mode: 1, files: ["a"], finish: false, replays: 0 }
            ]
        }
        function test_reopenCurrentFile(data) {
            playlistStore.playbackMode = data.mode
            var page = createPage()
            var urls = { a: urlA, b: urlB }
            data.files.forEach(function (f) { page.openExternalFilesAndPlay([urls[f]]) })
            var engine = engineOf(page)
            if (data.finish)
                engine.finishFile()
            compare(String(playlistStore.currentFileUrl), urlA)
            verify(page.playerHasMedia)
            var plays = engine.countCalls("playFile:")
            page.openExternalFilesAndPlay([urlA])
            compare(engine.countCalls("playFile:"), plays + data.replays)
            // A second open while it plays again is no end any more.
            page.openExternalFilesAndPlay([urlA])
            compare(engine.countCalls("playFile:"), plays + data.replays)
            compare(String(page.playerView.currentFileUrl), urlA)
        }

        function test_spaceKey() {
            var page = createPage()
            var view = page.playerView
            view.playbackSettingsDialogSource = Qt.resolvedUrl("FakeSettingsDialog.qml")
            var engine = engineOf(page)
            view.forceActiveFocus()
            keyClick(Qt.Key_Space)
            compare(engine.countCalls("togglePause"), 0)

            page.openExternalFilesAndPlay([urlA])
            view.forceActiveFocus()
            keyClick(Qt.Key_Space)
            compare(engine.countCalls("togglePause"), 1)
            verify(view.paused)

            view.openPlaybackSettings()
            verify(view.playbackSettingsOpen)
            view.forceActiveFocus()
            keyClick(Qt.Key_Space)
            compare(engine.countCalls("togglePause"), 1)

            view.playbackSettingsDialog.close()
            keyClick(Qt.Key_Space)
            compare(engine.countCalls("togglePause"), 2)

            // Using the seek bar, or stopping and playing again, leaves Space with the view.
            engine.duration = 60
            var slider = findChild(view.progressBar, "seekSlider")
            mouseClick(slider, slider.width / 2, slider.height / 2)
            keyClick(Qt.Key_Space)
            compare(engine.countCalls("togglePause"), 3)
            view.controlBar.stopRequested()
            page.openExternalFilesAndPlay([urlA])
            keyClick(Qt.Key_Space)
            compare(engine.countCalls("togglePause"), 4)
        }

        function test_toolboxPausesAndHandsOverTheSource() {
            var page = createPage()
            page.openExternalFilesAndPlay([urlA])
            page.playerView.controlBar.toolboxRequested("video-capture")
            compare(toolSpy.count, 1)
            compare(toolSpy.signalArguments[0][0], "video-capture")
            compare(toolSpy.signalArguments[0][1], String(playlistStore.currentSourcePath))
            verify(page.playerView.paused)
            page.playerView.controlBar.stopRequested()
            page.playerView.controlBar.toolboxRequested("format-convert")
            compare(toolSpy.signalArguments[1][1], "")
        }

        function test_previousAndNextMoveTheList() {
            var page = createPage()
            page.openExternalFilesAndPlay([urlA, urlB])
            page.playerView.controlBar.nextRequested()
            compare(String(page.playerView.currentFileUrl), urlB)
            page.playerView.controlBar.previousRequested()
            compare(String(page.playerView.currentFileUrl), urlA)
        }

        function test_subtitleRules() {
            var page = createPage()
            page.openExternalFilesAndPlay([urlA])
            var view = page.playerView
            var engine = engineOf(page)
            engine.subtitleTracks = [{ id: 1, title: "one" }, { id: 2, title: "two" }]
            view.selectSubtitleTrack(1, false)
            compare(engine.subtitleTrackId, 1)
            verify(!view.selectSubtitleTrack(1, true))
            compare(toastSpy.count, 1)
            compare(toastSpy.signalArguments[0][0], i18n.t("ui.text.subtitle.same_track_not_allowed"))
            compare(engine.secondarySubtitleTrackId, 0)

            // A secondary file gives the primary role back and takes the new track as secondary.
            view.loadSubtitleFile("file:///subs/extra.srt", true)
            tryCompare(engine, "secondarySubtitleTrackId", 3)
            compare(engine.subtitleTrackId, 1)
            compare(view.subtitleTrackOptions.length, 4)

            engine.addSubtitleResult = false
            verify(!view.loadSubtitleFile("file:///subs/bad.srt", false))
            compare(toastSpy.signalArguments[1][0], i18n.t("ui.text.subtitle.load_failed"))
        }

        // A secondary file ends as the secondary track with the primary kept, whether the
        // engine's poll publishes mpv's choice before or after the page acts on the new track.
        function test_secondarySubtitleKeepsPrimary_data() {
            return [
                { tag: "poll after the page", pollFirst: false },
                { tag: "poll before the page", pollFirst: true }
            ]
        }

        function test_secondarySubtitleKeepsPrimary(data) {
            var page = createPage()
            page.openExternalFilesAndPlay([urlA])
            var view = page.playerView
            var engine = engineOf(page)
            engine.subtitleTracks = []
            verify(view.loadSubtitleFile("file:///subs/a.srt", false))
            wait(0)
            engine.poll()
            compare(engine.subtitleTrackId, 1)

            verify(view.loadSubtitleFile("file:///subs/b.srt", true))
            if (data.pollFirst)
                engine.poll()
            wait(0)
            engine.poll()
            compare(engine.subtitleTrackId, 1)
            compare(engine.secondarySubtitleTrackId, 2)
            compare(toastSpy.count, 0)
        }

        // A file the engine cannot play empties the player and says so; play/pause does not
        // pretend there is something to pause.
        function test_failedFileDropsTheMedia() {
            var page = createPage()
            page.openExternalFilesAndPlay([urlA])
            var view = page.playerView
            var engine = engineOf(page)
            tryCompare(page, "playerHasMedia", true)
            verify(view.controlBar.visible)
            engine.failFile("/media/a.mp4", "loading failed")
            compare(page.playerHasMedia, false)
            compare(view.hasMedia, false)
            compare(view.videoPlayer.hasMedia, false)
            verify(!view.controlBar.visible)
            verify(page.placeholder.visible)
            compare(toastSpy.count, 1)
            compare(toastSpy.signalArguments[0][0], i18n.t("ui.text.player.play_failed", { name: "a.mp4" }))
            verify(toastSpy.signalArguments[0][0].indexOf("a.mp4") >= 0)
            engine.clearCalls()
            verify(!view.videoPlayer.togglePlayPause())
            compare(engine.countCalls("togglePause"), 0)
        }

        function test_fullScreenHidesChromeAndRestores() {
            var page = createPage()
            page.openExternalFilesAndPlay([urlA])
            var win = page.Window.window
            verify(win)
            var before = win.visibility
            page.setSettingsMenuVisible(true)
            page.playerView.controlBar.togglePopup("speedPopupVisible")
            page.playerView.controlBar.toggleFullScreenRequested()
            verify(page.playerFullScreen)
            compare(page.titleBar.height, 0)
            verify(!page.titleBar.visible)
            verify(!page.settingsMenuVisible)
            compare(page.statusToast.y, 12)
            page.exitPlayerFullScreen()
            verify(!page.playerFullScreen)
            verify(!page.playerView.controlBar.speedPopupVisible)
            compare(page.titleBar.height, 44)
            tryCompare(win, "visibility", before)
        }

        function test_panelOpensAndPrunes() {
            var page = createPage()
            var gone = testServices.writeMediaFile("gone.mp4")
            page.openExternalFilesAndPlay([urlA, testServices.fileUrl(gone)])
            compare(playlistStore.count, 2)
            testServices.removeFile(gone)
            page.setPlaylistCollapsed(false)
            compare(playlistStore.count, 1)
            verify(page.playlistPanel !== null)
            compare(page.playlistPanel.preserveCurrentOnAdd, true)
            compare(page.playlistPanel.highlightCurrentItem, true)
            page.setPlaylistCollapsed(true)
            tryCompare(page, "playlistPanel", null)
        }
    }
}
