// The player area: the video, its progress and control bars, full screen, the Space key, the
// track lists and subtitle loading, and the playback settings window.
import QtQuick 2.14
import QtQuick.Window 2.14
import "../../../components"
import "../PlayerLogic.js" as Logic
import "../../../shared"

FocusScope {
    id: view

    property bool hasMedia: false
    property string currentFileUrl: ""
    property bool fullScreen: false
    property int fullScreenControlsHideDelay: 2200
    property var audioTrackOptions: [{ id: 0, title: Tr.t("ui.text.audio.default_track") }]
    property var subtitleTrackOptions: [{ id: -1, title: Tr.t("ui.text.subtitle.none") }]

    property real committedVideoWidth: 0
    property real committedVideoHeight: 0
    property bool videoSizeCommitted: false

    property int savedWindowVisibility: Window.Windowed
    property real savedWindowX: 0
    property real savedWindowY: 0
    property real savedWindowWidth: 0
    property real savedWindowHeight: 0

    property bool controlsVisible: true
    property string currentMediaCoverSource: ""
    property real currentMediaPreviewDurationSeconds: 0
    // The settings window; tests and later builds may point it elsewhere.
    property url playbackSettingsDialogSource: Qt.resolvedUrl("PlaybackSettingsDialog.qml")

    readonly property alias videoPlayer: videoPlayer
    readonly property alias controlBar: controlBar
    readonly property alias progressBar: progressBar
    readonly property var playerEngine: videoPlayer.engine
    readonly property bool paused: videoPlayer.paused
    readonly property string currentMediaTitle: String(Guard.read("playlistStore", "currentTitle", ""))
    readonly property string currentMediaSourcePath: String(Guard.read("playlistStore", "currentSourcePath", ""))
    readonly property real effectiveMediaDuration: Math.max(videoPlayer.duration, currentMediaPreviewDurationSeconds)
    readonly property var playbackSettingsDialog: settingsDialogLoader.item
    readonly property bool playbackSettingsOpen: playbackSettingsDialog !== null
                                                 && playbackSettingsDialog.visible === true
    readonly property bool showControls: hasMedia && controlsVisible

    signal previousRequested()
    signal nextRequested()
    signal playbackFinished()
    signal playbackFailed(string fileUrl)
    signal playbackAreaPointerActive()
    signal toolboxRequested(string toolId)
    signal settingsStatusRequested(string message)

    function openFile(url) {
        var text = url === undefined || url === null ? "" : String(url)
        if (text.length === 0)
            return false
        if (!videoPlayer.play(text))
            return false
        currentFileUrl = text
        hasMedia = true
        commitVideoSize()
        Qt.callLater(refreshTrackOptions)
        return true
    }

    function clearFile() {
        currentFileUrl = ""
        hasMedia = false
        currentMediaPreviewDurationSeconds = 0
        resetTrackOptions()
        videoPlayer.stop()
    }

    // The engine could not play the file: the view goes back to empty and the page says why;
    // what plays next is the coordinator's business.
    function dropFailedFile(fileUrl) {
        currentFileUrl = ""
        hasMedia = false
        currentMediaPreviewDurationSeconds = 0
        resetTrackOptions()
        settingsStatusRequested(Tr.t("ui.text.player.play_failed", { name: Logic.fileNameOf(fileUrl) }))
        playbackFailed(fileUrl)
    }

    function pausePlayback() {
        videoPlayer.pause()
    }

    function resetTrackOptions() {
        audioTrackOptions = Logic.trackOptions(0, Tr.t("ui.text.audio.default_track"), [])
        subtitleTrackOptions = Logic.trackOptions(-1, Tr.t("ui.text.subtitle.none"), [])
    }

    function refreshTrackOptions() {
        var audio = Guard.call(videoPlayer.engine, "availableAudioTracks") || []
        var subtitles = Guard.call(videoPlayer.engine, "availableSubtitleTracks") || []
        audioTrackOptions = Logic.trackOptions(0, Tr.t("ui.text.audio.default_track"), audio)
        subtitleTrackOptions = Logic.trackOptions(-1, Tr.t("ui.text.subtitle.none"), subtitles)
    }

    function commitVideoSize() {
        committedVideoWidth = viewport.width
        committedVideoHeight = viewport.height
        videoSizeCommitted = true
    }

    function showControlsTemporarily() {
        controlsVisible = true
        if (fullScreen)
            controlsHideTimer.restart()
        else
            controlsHideTimer.stop()
    }

    function hideControlsIfIdle() {
        if (!fullScreen)
            return
        if (controlBar.volumePopupVisible || controlBar.speedPopupVisible || playbackSettingsOpen)
            return
        controlsVisible = false
    }

    function enterFullScreen() {
        var win = view.Window.window
        if (fullScreen || !win)
            return
        savedWindowVisibility = win.visibility
        savedWindowX = win.x
        savedWindowY = win.y
        savedWindowWidth = win.width
        savedWindowHeight = win.height
        win.showFullScreen()
        fullScreen = true
        showControlsTemporarily()
    }

    function exitFullScreen() {
        if (!fullScreen)
            return
        fullScreen = false
        var win = view.Window.window
        if (win) {
            if (savedWindowVisibility === Window.Maximized) {
                win.showMaximized()
            } else {
                win.showNormal()
                win.x = savedWindowX
                win.y = savedWindowY
                win.width = savedWindowWidth
                win.height = savedWindowHeight
            }
        }
        controlsHideTimer.stop()
        controlsVisible = true
        controlBar.hideTransientPopups()
    }

    function toggleFullScreen() {
        if (fullScreen)
            exitFullScreen()
        else
            enterFullScreen()
    }

    function ensurePlaybackSettingsDialog() {
        if (!settingsDialogLoader.active)
            settingsDialogLoader.active = true
        return settingsDialogLoader.status === Loader.Ready ? settingsDialogLoader.item : null
    }

    function openPlaybackSettings() {
        refreshTrackOptions()
        var dialog = ensurePlaybackSettingsDialog()
        if (dialog)
            dialog.showWindow()
    }

    function handleSpaceKey() {
        if (!hasMedia || playbackSettingsOpen)
            return false
        videoPlayer.togglePlayPause()
        showControlsTemporarily()
        return true
    }

    // otherTrackId: the other role's track when the caller knows it better than the engine's
    // last poll does.
    function selectSubtitleTrack(trackId, secondary, otherTrackId) {
        var engine = videoPlayer.engine
        if (!engine)
            return false
        var other = otherTrackId !== undefined ? otherTrackId
                                               : secondary ? Guard.read(engine, "subtitleTrackId", -1)
                                                           : Guard.read(engine, "secondarySubtitleTrackId", -1)
        if (!Logic.subtitleChoiceAllowed(trackId, other)) {
            settingsStatusRequested(Tr.t("ui.text.subtitle.same_track_not_allowed"))
            return false
        }
        if (secondary)
            return Guard.call(engine, "setSecondarySubtitleTrackId", [trackId]) === true
        return Guard.call(engine, "setSubtitleTrackId", [trackId]) === true
    }

    function requestSubtitleFile(secondary) {
        var key = secondary ? "ui.text.subtitle.select_secondary_file" : "ui.text.subtitle.select_primary_file"
        var url = Guard.call("fileDialogService", "pickSubtitleFile", [Tr.t(key)])
        if (url !== undefined && url !== null && String(url).length > 0)
            loadSubtitleFile(String(url), secondary)
    }

    function loadSubtitleFile(url, secondary) {
        var engine = videoPlayer.engine
        if (!Guard.has(engine, "addSubtitleFile"))
            return false
        var rememberedPrimary = Guard.read(engine, "subtitleTrackId", -1)
        if (Guard.call(engine, "addSubtitleFile", [url, secondary === true]) !== true) {
            settingsStatusRequested(Tr.t("ui.text.subtitle.load_failed"))
            return false
        }
        Qt.callLater(function () {
            refreshTrackOptions()
            var tracks = Guard.call(engine, "availableSubtitleTracks") || []
            if (tracks.length === 0)
                return
            var newest = Number(tracks[tracks.length - 1].id)
            if (secondary === true) {
                // mpv may have made the added file the primary track, and the engine's
                // subtitleTrackId tells only after its next poll: give the primary role back
                // to the remembered track whatever that poll says.
                if (rememberedPrimary !== newest)
                    Guard.call(engine, "setSubtitleTrackId", [rememberedPrimary])
                selectSubtitleTrack(newest, true, rememberedPrimary)
            } else {
                selectSubtitleTrack(newest, false)
            }
            refreshTrackOptions()
        })
        return true
    }

    function refreshCurrentMediaCover() {
        var path = currentMediaSourcePath
        if (path.length === 0 || !Guard.has("mediaPreviewService", "previewForFile")) {
            currentMediaCoverSource = ""
            currentMediaPreviewDurationSeconds = 0
            return
        }
        applyCurrentPreview(Guard.call("mediaPreviewService", "previewForFile", [path]))
    }

    function applyCurrentPreview(preview) {
        var p = preview || {}
        currentMediaCoverSource = Logic.imageSourceFromPath(p.thumbnailPath)
        var seconds = Number(p.durationSeconds)
        currentMediaPreviewDurationSeconds = isFinite(seconds) && seconds > 0 ? seconds : 0
    }

    onCurrentMediaSourcePathChanged: refreshCurrentMediaCover()
    onFullScreenChanged: showControlsTemporarily()
    onPlaybackSettingsOpenChanged: {
        if (playbackSettingsOpen) {
            refreshTrackOptions()
            showControlsTemporarily()
        } else if (fullScreen) {
            controlsHideTimer.restart()
        }
    }
    Component.onCompleted: {
        refreshTrackOptions()
        refreshCurrentMediaCover()
    }

    Keys.onPressed: {
        if (event.key === Qt.Key_Space && !event.isAutoRepeat) {
            if (handleSpaceKey())
                event.accepted = true
        }
    }

    Connections {
        target: Guard.object("mediaPreviewService")
        ignoreUnknownSignals: true
        function onPreviewReady(sourcePath, preview) {
            if (Logic.samePath(sourcePath, view.currentMediaSourcePath))
                view.applyCurrentPreview(preview)
        }
    }

    Timer {
        id: videoSizeTimer
        interval: 120
        repeat: false
        onTriggered: view.commitVideoSize()
    }

    Timer {
        id: controlsHideTimer
        interval: view.fullScreenControlsHideDelay
        repeat: false
        onTriggered: view.hideControlsIfIdle()
    }

    Item {
        id: viewport
        objectName: "playerViewport"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: view.fullScreen ? parent.bottom : progressBar.top
        clip: true

        onWidthChanged: viewportResized()
        onHeightChanged: viewportResized()
        function viewportResized() {
            if (!view.hasMedia || !view.videoSizeCommitted)
                view.commitVideoSize()
            else
                videoSizeTimer.restart()
        }

        Rectangle {
            anchors.fill: parent
            color: Theme.videoBackground
            // Only the margins the picture leaves (while a resize settles) need it: behind the
            // opaque picture it would be filled again on every frame and never seen. Under a
            // player drawn straight into the window it would cover the picture: mpv fills
            // those margins itself.
            visible: !videoPlayer.drawsIntoWindow
                     && (videoPlayer.width < viewport.width || videoPlayer.height < viewport.height)
        }

        CommonVideoPlayer {
            id: videoPlayer
            objectName: "videoPlayer"
            anchors.centerIn: parent
            width: view.committedVideoWidth
            height: view.committedVideoHeight
            // The main window shows its first frame before libmpv is opened (main opens it in
            // the background once that frame is out).
            bindEngine: Guard.read("mpvLibrary", "ready", true) === true
            // The picture reaches the window without a copy of its own; the page draws nothing
            // behind it.
            drawsIntoWindow: true
            onEndOfFileReached: view.playbackFinished()
            onPointerActivity: {
                view.showControlsTemporarily()
                view.playbackAreaPointerActive()
            }
            onParkedPlayExpired: {
                // The surface never came up in time: show the empty player rather than a
                // file that is not playing; the file still starts if the surface comes up.
                view.hasMedia = false
            }
            onPlaybackFailed: view.dropFailedFile(fileUrl)
            onPlaybackStarted: {
                if (!view.hasMedia) {
                    view.currentFileUrl = fileUrl
                    view.hasMedia = true
                    Qt.callLater(view.refreshTrackOptions)
                }
            }
        }

        Text {
            objectName: "engineStartupNotice"
            anchors.centerIn: parent
            visible: !videoPlayer.initialized && view.hasMedia
            text: "initializing mpv..."
            color: Theme.textDim
            font.pixelSize: Theme.fontLarge
        }

        // While a pop-up of the control bar is open, a click on the video only closes it.
        MouseArea {
            anchors.fill: parent
            visible: controlBar.volumePopupVisible || controlBar.speedPopupVisible
            onClicked: controlBar.hideTransientPopups()
        }
    }

    PlaybackProgressBar {
        id: progressBar
        objectName: "progressBar"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: controlBar.top
        active: view.showControls && view.effectiveMediaDuration > 0
        position: videoPlayer.position
        duration: view.effectiveMediaDuration
        showStartTime: true
        showEndTime: true
        onSeekRequested: videoPlayer.seek(seconds)
    }

    PlaybackControlBar {
        id: controlBar
        objectName: "controlBar"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        active: view.showControls
        paused: videoPlayer.paused
        fullScreen: view.fullScreen
        volume: videoPlayer.volume
        playbackSpeed: videoPlayer.playbackSpeed
        mediaTitle: view.currentMediaTitle
        mediaCoverSource: view.currentMediaCoverSource
        aiEnhanceEnabled: Guard.read(videoPlayer.engine, "videoEnhancementEnabled", false) === true

        onStopRequested: view.clearFile()
        onPreviousRequested: view.previousRequested()
        onNextRequested: view.nextRequested()
        onPlayPauseRequested: videoPlayer.togglePlayPause()
        onVolumeRequested: Guard.call(videoPlayer.engine, "setVolume", [value])
        onPlaybackSpeedRequested: Guard.call(videoPlayer.engine, "setPlaybackSpeed", [value])
        onAiEnhanceToggled: Guard.call(videoPlayer.engine, "setVideoEnhancementEnabled", [enabled])
        onToolboxRequested: view.toolboxRequested(toolId)
        onPlaybackSettingsRequested: view.openPlaybackSettings()
        onToggleFullScreenRequested: view.toggleFullScreen()
        onPopupsChanged: {
            if (!controlBar.volumePopupVisible && !controlBar.speedPopupVisible && view.fullScreen)
                controlsHideTimer.restart()
        }
    }

    Loader {
        id: settingsDialogLoader
        active: false
        source: view.playbackSettingsDialogSource
        onLoaded: {
            var dialog = item
            if (dialog.ownerWindow !== undefined)
                dialog.ownerWindow = Qt.binding(function () { return view.Window.window })
            if (dialog.playerEngine !== undefined)
                dialog.playerEngine = Qt.binding(function () { return videoPlayer.engine })
            if (dialog.audioTrackOptions !== undefined)
                dialog.audioTrackOptions = Qt.binding(function () { return view.audioTrackOptions })
            if (dialog.subtitleTrackOptions !== undefined)
                dialog.subtitleTrackOptions = Qt.binding(function () { return view.subtitleTrackOptions })
        }
    }

    Connections {
        target: settingsDialogLoader.item
        ignoreUnknownSignals: true
        function onPrimarySubtitleFileRequested() { view.requestSubtitleFile(false) }
        function onSecondarySubtitleFileRequested() { view.requestSubtitleFile(true) }
        function onPrimarySubtitleTrackSelectionRequested(trackId) { view.selectSubtitleTrack(trackId, false) }
        function onSecondarySubtitleTrackSelectionRequested(trackId) { view.selectSubtitleTrack(trackId, true) }
    }
}
