// The shared video component: one engine, one video surface, a play request parked until the
// surface can draw, a preview opener with seek retries and the centre play/pause button.
import QtQuick 2.14
import Tavrixo 1.0
import "../shared"

Item {
    id: root

    property alias engine: mpvEngine
    readonly property alias videoItem: videoSurface

    property bool hasMedia: false
    property string currentFileUrl: ""

    readonly property bool initialized: Guard.read(mpvEngine, "initialized", false) === true
    readonly property bool paused: Guard.read(mpvEngine, "paused", false) === true
    readonly property real position: Number(Guard.read(mpvEngine, "position", 0)) || 0
    readonly property real duration: Number(Guard.read(mpvEngine, "duration", 0)) || 0
    readonly property real volume: Number(Guard.read(mpvEngine, "volume", 0)) || 0
    readonly property real playbackSpeed: Number(Guard.read(mpvEngine, "playbackSpeed", 1))
    readonly property bool renderReady: videoSurface.renderContextReady === true

    property int playRetryDelayMs: 80
    property int playRetryMaxAttempts: 25
    property int previewOpenDelayMs: 180
    property int seekRetryDelayMs: 120
    property int seekRetryMaxAttempts: 8
    property bool hoverCenterControlEnabled: true
    // While false the surface holds no engine, so nothing opens libmpv yet; a play request
    // parks as it does for a surface that is not ready.
    property bool bindEngine: true
    // mpv draws straight into the window beneath the scene (see MpvVideoItem): for the one
    // player that fills its window's page, never for one among other items of a page.
    property bool drawsIntoWindow: false
    property int centerControlAutoHideDelayMs: 2200

    property string pendingPlayFileUrl: ""
    property int playRetryAttempt: 0
    readonly property bool playParked: pendingPlayFileUrl.length > 0

    // Requests made while the play is parked, applied once the file really starts.
    property bool pendingPauseAfterStart: false
    property bool pendingSeekAfterStart: false
    property real pendingSeekSecondsAfterStart: 0

    property string pendingPreviewFileUrl: ""
    property real pendingPreviewSeekSeconds: 0
    property bool pendingPreviewPauseAfterOpen: true
    property real pendingSeekSeconds: 0
    property int seekRetryAttempt: 0

    property bool centerControlVisible: false

    signal endOfFileReached()
    // The engine accepted a file (directly or once a parked request could start).
    signal playbackStarted(string fileUrl)
    // The retries ran out while the surface was still not ready; the file stays parked and
    // starts if the surface becomes ready later.
    signal parkedPlayExpired(string fileUrl)
    signal pointerActivity()
    // The engine could not play the file (damaged, unsupported); the component is empty again.
    signal playbackFailed(string fileUrl, string error)

    function clearParkedRequests() {
        pendingPlayFileUrl = ""
        playRetryAttempt = 0
        pendingPauseAfterStart = false
        pendingSeekAfterStart = false
        pendingSeekSecondsAfterStart = 0
        playRetryTimer.stop()
    }

    function startNow(url) {
        if (Guard.call(mpvEngine, "playFile", [url]) !== true)
            return false
        var pauseAfter = pendingPauseAfterStart
        var seekAfter = pendingSeekAfterStart
        var seekSeconds = pendingSeekSecondsAfterStart
        clearParkedRequests()
        currentFileUrl = url
        hasMedia = true
        playbackStarted(url)
        if (pauseAfter && !paused)
            Guard.call(mpvEngine, "togglePause")
        if (seekAfter)
            seekSafely(seekSeconds)
        return true
    }

    function play(url) {
        var text = url === undefined || url === null ? "" : String(url)
        if (text.length === 0)
            return false
        if (!renderReady) {
            if (pendingPlayFileUrl !== text) {
                pendingPauseAfterStart = false
                pendingSeekAfterStart = false
            }
            pendingPlayFileUrl = text
            playRetryAttempt = 0
            playRetryTimer.restart()
            return true
        }
        return startNow(text)
    }

    function stop() {
        clearParkedRequests()
        previewTimer.stop()
        seekRetryTimer.stop()
        currentFileUrl = ""
        hasMedia = false
        // An engine that never started has nothing to stop, and asking it would start it (the
        // empty play list clears the player at start-up, before libmpv is wanted).
        if (!initialized)
            return true
        return Guard.call(mpvEngine, "stopPlayback") === true
    }

    function playOrResume(url) {
        var text = url === undefined || url === null ? "" : String(url)
        if (text.length > 0)
            return play(text)
        if (hasMedia && paused)
            return Guard.call(mpvEngine, "togglePause") === true
        return false
    }

    function pause() {
        if (playParked && !hasMedia) {
            pendingPauseAfterStart = true
            return true
        }
        if (!hasMedia || paused)
            return false
        return Guard.call(mpvEngine, "togglePause") === true
    }

    function togglePlayPause() {
        if (playParked && !hasMedia) {
            pendingPauseAfterStart = !pendingPauseAfterStart
            return true
        }
        if (!hasMedia)
            return false
        return Guard.call(mpvEngine, "togglePause") === true
    }

    function seek(seconds) {
        if (playParked && !hasMedia) {
            pendingSeekAfterStart = true
            pendingSeekSecondsAfterStart = Math.max(0, Number(seconds) || 0)
            return true
        }
        return Guard.call(mpvEngine, "seekTo", [Number(seconds) || 0]) === true
    }

    // The engine is idle after a failed file: nothing is loaded, so nothing may look loaded.
    function dropFailedFile(error) {
        var url = currentFileUrl
        clearParkedRequests()
        previewTimer.stop()
        seekRetryTimer.stop()
        currentFileUrl = ""
        hasMedia = false
        playbackFailed(url, error)
    }

    function currentPlaybackTime() {
        return position
    }

    function openForPreview(url, seekSeconds, pauseAfterOpen) {
        pendingPreviewFileUrl = url === undefined || url === null ? "" : String(url)
        pendingPreviewSeekSeconds = Math.max(0, Number(seekSeconds) || 0)
        pendingPreviewPauseAfterOpen = pauseAfterOpen === undefined ? true : pauseAfterOpen === true
        seekRetryAttempt = 0
        previewTimer.interval = previewOpenDelayMs
        previewTimer.restart()
    }

    function seekSafely(seconds) {
        pendingSeekSeconds = Math.max(0, Number(seconds) || 0)
        seekRetryAttempt = 0
        seekRetryTimer.interval = seekRetryDelayMs
        seekRetryTimer.restart()
    }

    function showCenterControl() {
        if (!hoverCenterControlEnabled || !hasMedia)
            return
        centerControlVisible = true
        centerHideTimer.interval = centerControlAutoHideDelayMs
        centerHideTimer.restart()
    }

    function hideCenterControl() {
        centerHideTimer.stop()
        centerControlVisible = false
    }

    function hideCenterControlUnlessHovered() {
        if (!videoPointerArea.containsMouse)
            hideCenterControl()
    }

    onHasMediaChanged: {
        if (!hasMedia)
            hideCenterControl()
    }
    onHoverCenterControlEnabledChanged: {
        if (!hoverCenterControlEnabled)
            hideCenterControl()
    }
    onRenderReadyChanged: {
        // A file whose retries ran out still starts when the surface finally comes up.
        if (renderReady && playParked && !playRetryTimer.running)
            startNow(pendingPlayFileUrl)
    }

    MpvEngine {
        id: mpvEngine
        onEndOfFileReached: root.endOfFileReached()
        onPlaybackFailed: root.dropFailedFile(error)
    }

    MpvVideoItem {
        id: videoSurface
        objectName: "videoSurface"
        anchors.fill: parent
        engine: root.bindEngine ? mpvEngine : null
        drawsIntoWindow: root.drawsIntoWindow
        // mpv draws at the item's own pixel size, so the picture reaches the window one texel
        // per pixel: a filtered copy would look the same and costs a software renderer about a
        // third more per frame.
        smooth: false
    }

    Timer {
        id: playRetryTimer
        interval: root.playRetryDelayMs
        repeat: false
        onTriggered: {
            if (!root.playParked)
                return
            if (!root.renderReady) {
                root.playRetryAttempt += 1
                if (root.playRetryAttempt < root.playRetryMaxAttempts)
                    restart()
                else
                    root.parkedPlayExpired(root.pendingPlayFileUrl)
                return
            }
            root.startNow(root.pendingPlayFileUrl)
        }
    }

    Timer {
        id: previewTimer
        repeat: false
        onTriggered: {
            if (root.pendingPreviewFileUrl.length === 0)
                return
            if (!root.play(root.pendingPreviewFileUrl)) {
                root.stop()
                return
            }
            if (root.pendingPreviewPauseAfterOpen)
                root.pause()
            root.seekSafely(root.pendingPreviewSeekSeconds)
        }
    }

    Timer {
        id: seekRetryTimer
        repeat: false
        onTriggered: {
            if (root.playParked && !root.hasMedia) {
                // The file has not started yet: the seek waits for it.
                root.pendingSeekAfterStart = true
                root.pendingSeekSecondsAfterStart = root.pendingSeekSeconds
                return
            }
            if (!root.hasMedia)
                return
            if (root.seek(root.pendingSeekSeconds))
                return
            root.seekRetryAttempt += 1
            if (root.seekRetryAttempt < root.seekRetryMaxAttempts)
                restart()
        }
    }

    Timer {
        id: centerHideTimer
        repeat: false
        onTriggered: root.centerControlVisible = false
    }

    MouseArea {
        id: videoPointerArea
        objectName: "videoPointerArea"
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.NoButton
        onEntered: { root.showCenterControl(); root.pointerActivity() }
        onPositionChanged: { root.showCenterControl(); root.pointerActivity() }
        onExited: Qt.callLater(root.hideCenterControlUnlessHovered)

        Rectangle {
            id: centerButton
            objectName: "centerPlayPauseButton"
            width: 64
            height: 64
            radius: 32
            anchors.centerIn: parent
            visible: root.centerControlVisible && root.hoverCenterControlEnabled && root.hasMedia
            color: centerButtonArea.pressed ? Theme.centerButtonPressed : (centerButtonArea.containsMouse ? Theme.centerButtonHover : Theme.dialogScrim)
            border.color: Theme.trackOverlay
            border.width: 1

            ThemedIcon {
                anchors.centerIn: parent
                // The play triangle looks centred when nudged right by its optical weight.
                anchors.horizontalCenterOffset: root.paused ? 2 : 0
                iconSize: 28
                source: root.paused ? "qrc:/assets/icons/player_play.svg" : "qrc:/assets/icons/player_pause.svg"
                color: Theme.textPrimary
            }

            MouseArea {
                id: centerButtonArea
                anchors.fill: parent
                hoverEnabled: true
                onEntered: root.showCenterControl()
                onClicked: {
                    root.togglePlayPause()
                    root.showCenterControl()
                }
            }
        }
    }
}
