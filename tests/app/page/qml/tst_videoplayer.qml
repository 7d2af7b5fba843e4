// The shared video component over a recording engine: parked play, its retries and what a
// pause or seek asked for while parked does, preview opening and the seek retry limit.
import QtQuick 2.14
import QtTest 1.14
import "qrc:/qml/components"

Item {
    id: root
    width: 640
    height: 360

    Component {
        id: playerComponent
        CommonVideoPlayer {
            anchors.fill: parent
            playRetryDelayMs: 5
            seekRetryDelayMs: 5
            previewOpenDelayMs: 5
        }
    }

    SignalSpy { id: expiredSpy; signalName: "parkedPlayExpired" }

    TestCase {
        name: "CommonVideoPlayer"
        when: windowShown

        property var player: null

        function init() {
            player = createTemporaryObject(playerComponent, root)
            verify(player)
            expiredSpy.clear()
            expiredSpy.target = player
        }

        function test_playsAtOnceWhenReady() {
            verify(player.play("file:///clips/a.mp4"))
            compare(player.engine.countCalls("playFile:"), 1)
            verify(player.hasMedia)
            compare(player.currentFileUrl, "file:///clips/a.mp4")
            verify(!player.play(""))
        }

        function test_refusedFileChangesNothing() {
            player.engine.playFileResult = false
            verify(!player.play("file:///clips/bad.mp4"))
            verify(!player.hasMedia)
            compare(player.currentFileUrl, "")
        }

        function test_parkedPlayStartsWhenSurfaceBecomesReady() {
            player.videoItem.renderContextReady = false
            verify(player.play("file:///clips/a.mp4"))
            verify(player.playParked)
            verify(!player.hasMedia)
            compare(player.engine.countCalls("playFile:"), 0)
            player.videoItem.renderContextReady = true
            tryCompare(player, "hasMedia", true)
            compare(player.engine.countCalls("playFile:"), 1)
            verify(!player.playParked)
        }

        function test_retriesStopAtTheirLimitWithoutPretending() {
            player.videoItem.renderContextReady = false
            player.play("file:///clips/a.mp4")
            tryCompare(expiredSpy, "count", 1)
            compare(player.playRetryAttempt, player.playRetryMaxAttempts)
            verify(!player.hasMedia)
            compare(player.engine.countCalls("playFile:"), 0)
            wait(50)
            compare(player.playRetryAttempt, player.playRetryMaxAttempts)
            compare(expiredSpy.count, 1)
            // A surface that comes up late still plays the file.
            player.videoItem.renderContextReady = true
            tryCompare(player, "hasMedia", true)
            compare(player.engine.countCalls("playFile:file:///clips/a.mp4"), 1)
        }

        function test_pauseAndSeekWhileParkedApplyOnStart() {
            player.videoItem.renderContextReady = false
            player.play("file:///clips/a.mp4")
            verify(player.pause())
            verify(player.seek(42))
            compare(player.engine.countCalls("togglePause"), 0)
            compare(player.engine.countCalls("seekTo:"), 0)
            player.videoItem.renderContextReady = true
            tryCompare(player, "hasMedia", true)
            verify(player.paused)
            tryCompare(player, "position", 42)
        }

        function test_newParkedFileForgetsRequestsOfTheOldOne() {
            player.videoItem.renderContextReady = false
            player.play("file:///clips/a.mp4")
            player.pause()
            player.play("file:///clips/b.mp4")
            player.videoItem.renderContextReady = true
            tryCompare(player, "hasMedia", true)
            compare(player.currentFileUrl, "file:///clips/b.mp4")
            verify(!player.paused)
        }

        function test_stopForgetsTheParkedFile() {
            player.videoItem.renderContextReady = false
            player.play("file:///clips/a.mp4")
            player.stop()
            player.videoItem.renderContextReady = true
            wait(30)
            compare(player.engine.countCalls("playFile:"), 0)
            verify(!player.hasMedia)
        }

        function test_previewSeekRetries_data() {
            return [
                { tag: "succeeds at the eighth", failures: 7, attempts: 8, lands: true },
                { tag: "gives up after eight", failures: 100, attempts: 8, lands: false },
                { tag: "first try", failures: 0, attempts: 1, lands: true }
            ]
        }
        function test_previewSeekRetries(data) {
            player.engine.seekFailures = data.failures
            player.openForPreview("file:///clips/a.mp4", 12.5, true)
            tryCompare(player.engine, "seekAttempts", data.attempts)
            wait(60)
            compare(player.engine.seekAttempts, data.attempts)
            verify(player.paused)
            compare(player.position === 12.5, data.lands)
        }

        function test_previewWhileParkedSeeksOnceStarted() {
            player.videoItem.renderContextReady = false
            player.openForPreview("file:///clips/a.mp4", 7, true)
            tryCompare(player, "pendingSeekAfterStart", true)
            player.videoItem.renderContextReady = true
            tryCompare(player, "position", 7)
            verify(player.paused)
        }

        function test_pauseAndToggleNeedMedia() {
            verify(!player.pause())
            verify(!player.togglePlayPause())
            compare(player.engine.countCalls("togglePause"), 0)
            player.play("file:///clips/a.mp4")
            verify(player.togglePlayPause())
            verify(player.paused)
            verify(!player.pause())
            verify(player.playOrResume(""))
            verify(!player.paused)
        }

        function test_centreButtonFollowsMediaAndOffer() {
            player.showCenterControl()
            verify(!player.centerControlVisible)
            player.play("file:///clips/a.mp4")
            player.showCenterControl()
            verify(player.centerControlVisible)
            player.hoverCenterControlEnabled = false
            verify(!player.centerControlVisible)
            player.hoverCenterControlEnabled = true
            player.showCenterControl()
            player.stop()
            verify(!player.centerControlVisible)
        }

        function test_endOfFileIsForwarded() {
            var spy = createTemporaryObject(endSpy, root, { target: player })
            player.engine.finishFile()
            compare(spy.count, 1)
        }
    }

    Component {
        id: endSpy
        SignalSpy { signalName: "endOfFileReached" }
    }
}
