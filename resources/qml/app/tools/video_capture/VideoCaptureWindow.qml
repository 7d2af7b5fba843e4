// The single-frame capture page: a preview player, the time line with frame steps, the output
// settings and the save button; all work is done by videoCaptureViewModel.
import QtQuick 2.14
import QtQuick.Controls 2.14
import "../../../components"
import "../../../shared"
import ".."
import "FramePage.js" as FramePage

Item {
    id: page

    property string startupSourcePath: ""
    property bool resultDialogIsSuccess: false
    property string capturedOutputPath: ""
    property bool syncingCaptureTimeFromPlayer: false
    property int frameStepCount: 1
    property int timelinePanelHeight: 108
    property int footerPanelHeight: 88
    property int footerControlHeight: 32
    readonly property var viewModel: Guard.object("videoCaptureViewModel")
    readonly property alias previewPlayer: player
    readonly property string sourcePath: String(Guard.read(viewModel, "sourcePath", ""))
    // The source the preview player was last opened with: it is reset only when this changes.
    property string previewedSourcePath: ""

    signal closeRequested()

    function consumeStartupSourcePath(pathOrUrl) {
        var path = FramePage.toLocalPath(pathOrUrl)
        if (path.length > 0)
            Guard.call(viewModel, "setSourceFromUrl", [path])
    }

    function chooseSourceVideo() {
        var picked = Guard.call("fileDialogService", "pickVideoToolMediaFile")
        if (picked !== undefined && picked !== null && String(picked).length > 0)
            consumeStartupSourcePath(String(picked))
    }

    function syncPlayerSource() {
        if (sourcePath === previewedSourcePath)
            return
        previewedSourcePath = sourcePath
        player.stop()
        if (sourcePath.length > 0)
            player.openForPreview(FramePage.toFileUrl(sourcePath), Number(Guard.read(viewModel, "captureTimeSeconds", 0)), false)
    }

    function applyFrameStepField() {
        frameStepCount = FramePage.parseFrameStepCount(frameCountField.text)
        frameCountField.text = String(frameStepCount)
    }

    function stepFrames(direction) {
        applyFrameStepField()
        if (player.hasMedia && !player.paused)
            player.pause()
        var engine = player.engine
        var fps = FramePage.estimateFrameRate(Guard.read(engine, "currentMediaInfo", {}))
        Guard.call(viewModel, "stepCaptureTime", [direction * Math.max(1, frameStepCount) / fps])
    }

    function showResult(success, message, outputPath) {
        resultDialogIsSuccess = success
        capturedOutputPath = outputPath || ""
        resultDialog.titleText = Tr.t("tool.result.dialog.title")
        resultDialog.iconSource = success ? "qrc:/assets/icons/status_success.svg" : "qrc:/assets/icons/status_error.svg"
        var text = message === undefined || message === null ? "" : String(message)
        if (text.length === 0)
            text = success ? Tr.t("tool.result.dialog.success_summary", { count: 1 }) : Tr.t("tool.result.dialog.failed_contact_hint")
        resultDialog.messageText = text
        resultDialog.secondaryButtonText = success ? Tr.t("tool.result.dialog.open_file") : Tr.t("tool.result.dialog.contact_service")
        resultDialog.secondaryButtonVisible = true
        resultDialog.visible = true
    }

    onStartupSourcePathChanged: consumeStartupSourcePath(startupSourcePath)
    Component.onCompleted: {
        consumeStartupSourcePath(startupSourcePath)
        syncPlayerSource()
    }

    Connections {
        target: page.viewModel
        ignoreUnknownSignals: true
        function onSourcePathChanged() { page.syncPlayerSource() }
        function onCaptureTimeChanged() {
            if (page.syncingCaptureTimeFromPlayer || !player.hasMedia)
                return
            player.seekSafely(Number(Guard.read(viewModel, "captureTimeSeconds", 0)))
        }
        function onCaptureFinished(success, message, outputPath) { page.showResult(success, message, outputPath) }
        function onSourceLoadFailed(message) { page.showResult(false, message, "") }
    }

    // A tap anywhere takes the focus from the text fields, which applies what was typed.
    MouseArea {
        anchors.fill: parent
        onPressed: {
            outputPanel.releaseFocus()
            if (frameCountField.activeFocus)
                page.forceActiveFocus()
            mouse.accepted = false
        }
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.toolWindowBackground
    }

    ToolWindowTitleBar {
        id: titleBar
        width: parent.width
        height: 46
        titleText: Tr.t("tool.video_capture.title")
        onCloseRequested: page.closeRequested()
    }

    Rectangle {
        id: previewArea
        anchors.top: titleBar.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: timelinePanel.top
        anchors.margins: 12
        color: Theme.videoBackground
        radius: Theme.radius
        clip: true

        CommonVideoPlayer {
            id: player
            objectName: "capturePreviewPlayer"
            anchors.fill: parent
            visible: page.sourcePath.length > 0
        }

        Text {
            anchors.centerIn: parent
            visible: !player.hasMedia
            text: page.sourcePath.length > 0 ? Tr.t("tool.common.loading_player") : Tr.t("tool.common.select_video_file")
            color: Theme.textHint
            font.pixelSize: Theme.fontLarge
        }

        MouseArea {
            anchors.fill: parent
            visible: page.sourcePath.length === 0
            cursorShape: Qt.PointingHandCursor
            onClicked: page.chooseSourceVideo()
        }
    }

    Item {
        id: timelinePanel
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: footerPanel.top
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        height: page.timelinePanelHeight

        Text {
            id: captureTimeLabel
            objectName: "captureTimeText"
            y: 10
            text: Tr.t("tool.video_capture.capture_time", { time: Guard.read(viewModel, "captureTimeText", "00:00:00.000") })
            color: Theme.textNormal
            font.pixelSize: Theme.fontBody
        }

        Text {
            anchors.right: parent.right
            y: 10
            text: Guard.read(viewModel, "durationText", "00:00:00.000")
            color: Theme.textDuration
            font.pixelSize: Theme.fontBody
        }

        Slider {
            id: timeline
            objectName: "captureTimeline"
            y: 30
            width: parent.width
            from: 0
            to: Math.max(1, Number(Guard.read(viewModel, "durationSeconds", 0)))
            enabled: Number(Guard.read(viewModel, "durationSeconds", 0)) > 0
            value: Number(Guard.read(viewModel, "captureTimeSeconds", 0))
            onMoved: Guard.call(viewModel, "setCaptureTimeSeconds", [value])
        }

        Row {
            y: 70
            spacing: 8
            height: page.footerControlHeight

            Repeater {
                model: [
                    { icon: "qrc:/assets/icons/frame_step_left.svg", direction: -1, name: "stepBackButton" },
                    { icon: "qrc:/assets/icons/frame_step_right.svg", direction: 1, name: "stepForwardButton" }
                ]
                delegate: Rectangle {
                    objectName: modelData.name
                    width: 36
                    height: page.footerControlHeight
                    radius: Theme.radiusSmall
                    color: stepArea.containsMouse ? Theme.buttonHover : Theme.buttonBackground
                    ThemedIcon {
                        anchors.centerIn: parent
                        width: 16
                        height: 16
                        source: modelData.icon
                    }
                    MouseArea {
                        id: stepArea
                        anchors.fill: parent
                        hoverEnabled: true
                        cursorShape: Qt.PointingHandCursor
                        onClicked: page.stepFrames(modelData.direction)
                    }
                }
            }

            TextField {
                id: frameCountField
                objectName: "frameCountField"
                width: 64
                height: page.footerControlHeight
                text: "1"
                color: Theme.textField
                font.pixelSize: Theme.fontBody
                horizontalAlignment: Text.AlignHCenter
                selectByMouse: true
                validator: IntValidator { bottom: 0; top: 100000 }
                background: Rectangle { color: Theme.fieldBackground; border.color: Theme.controlBorder; radius: Theme.radiusSmall }
                onEditingFinished: page.applyFrameStepField()
            }

            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: Tr.t("tool.video_capture.frame_unit")
                color: Theme.textLabel
                font.pixelSize: Theme.fontBody
            }
        }

        ToolActionButton {
            objectName: "changeVideoButton"
            anchors.right: parent.right
            y: 70
            buttonHeight: page.footerControlHeight
            text: Tr.t("tool.common.change_video")
            iconSource: "qrc:/assets/icons/open_file.svg"
            onClicked: page.chooseSourceVideo()
        }
    }

    Rectangle {
        id: footerPanel
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: page.footerPanelHeight
        color: Theme.surfaceRaised

        ImageOutputPanel {
            id: outputPanel
            x: 16
            y: 8
            width: parent.width - saveButton.width - 48
            height: parent.height - 16
            viewModel: page.viewModel
            controlHeight: page.footerControlHeight
        }

        Rectangle {
            id: saveButton
            objectName: "saveButton"
            readonly property bool ready: Guard.read(viewModel, "canCapture", false) === true
            anchors.right: parent.right
            anchors.rightMargin: 16
            anchors.verticalCenter: parent.verticalCenter
            width: 120
            height: 40
            radius: Theme.radius
            color: ready ? (saveArea.containsMouse ? Theme.accentHover : Theme.accent) : Theme.buttonBackground
            Text {
                anchors.centerIn: parent
                text: Guard.read(viewModel, "busy", false) ? Tr.t("tool.video_capture.save.running")
                                                               : Tr.t("tool.video_capture.save.idle")
                color: saveButton.ready ? Theme.textPrimary : Theme.textDisabled
                font.pixelSize: Theme.fontLarge
            }
            MouseArea {
                id: saveArea
                anchors.fill: parent
                hoverEnabled: true
                enabled: saveButton.ready
                cursorShape: Qt.PointingHandCursor
                onClicked: Guard.call(viewModel, "captureFrame")
            }
        }
    }

    // While the preview plays, the capture time follows it; the slider held by the user wins.
    Timer {
        interval: 120
        repeat: true
        running: player.hasMedia && !player.paused && !timeline.pressed
        onTriggered: {
            page.syncingCaptureTimeFromPlayer = true
            Guard.call(viewModel, "setCaptureTimeSeconds", [player.currentPlaybackTime()])
            page.syncingCaptureTimeFromPlayer = false
        }
    }

    ToolResultDialog {
        id: resultDialog
        objectName: "captureResultDialog"
        anchors.fill: parent
        onPrimaryClicked: closeDialog()
        onSecondaryClicked: {
            if (page.resultDialogIsSuccess) {
                if (page.capturedOutputPath.length > 0)
                    Qt.openUrlExternally(FramePage.toFileUrl(page.capturedOutputPath))
            } else {
                Guard.call("systemActions", "openCustomerService", [""])
            }
            closeDialog()
        }
    }
}
