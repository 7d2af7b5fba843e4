// The video-to-image page: preview player and time line, single or continuous capture
// parameters, output settings, and the queue of rendered images with its export controls.
import QtQuick 2.14
import QtQuick.Controls 2.14
import "../../../components"
import "../../../shared"
import "../../media_player/components"
import ".."
import "../video_capture"
import "../video_capture/FramePage.js" as FramePage

Item {
    id: page

    property string startupSourcePath: ""
    property bool resultDialogIsSuccess: false
    property bool syncingFromPlayer: false
    property int timelinePanelHeight: 108
    property int footerControlHeight: 32
    readonly property var viewModel: Guard.object("videoToImageViewModel")
    readonly property bool clearButtonEnabled: Number(Guard.read(viewModel, "previewCount", 0)) > 0
                                               && !Guard.read(viewModel, "busy", false)
    readonly property bool exportButtonEnabled: Guard.read(viewModel, "canExport", false) === true
    readonly property alias previewPlayer: player
    readonly property string sourcePath: String(Guard.read(viewModel, "sourcePath", ""))
    readonly property string captureMode: String(Guard.read(viewModel, "captureMode", "single"))
    readonly property string continuousMode: String(Guard.read(viewModel, "continuousMode", "time_interval"))
    property string previewedSourcePath: ""
    property int queueCountBeforeAdd: 0

    signal closeRequested()

    function consumeStartupSourcePath(pathOrUrl) {
        var path = FramePage.toLocalPath(pathOrUrl)
        if (path.length === 0)
            return
        if (path !== sourcePath) {
            player.stop()
            Guard.call(viewModel, "setTimelineSeconds", [0])
        }
        Guard.call(viewModel, "setSourceFromUrl", [path])
    }

    function chooseSourceVideo() {
        var picked = Guard.call("fileDialogService", "pickVideoToolMediaFile")
        if (picked !== undefined && picked !== null && String(picked).length > 0)
            consumeStartupSourcePath(String(picked))
    }

    // The preview is stopped and restarted from 0 s only when the source itself changes.
    function syncPlayerSource() {
        if (sourcePath === previewedSourcePath)
            return
        previewedSourcePath = sourcePath
        player.stop()
        if (sourcePath.length > 0)
            player.openForPreview(FramePage.toFileUrl(sourcePath), 0, false)
    }

    function copyPlayerPosition() {
        if (timeline.pressed || !player.hasMedia)
            return
        syncingFromPlayer = true
        Guard.call(viewModel, "setTimelineSeconds", [player.currentPlaybackTime()])
        syncingFromPlayer = false
    }

    function rewriteRangeFields() {
        if (!startField.activeFocusInside)
            startField.text = String(Guard.read(viewModel, "continuousStartText", ""))
        if (!endField.activeFocusInside)
            endField.text = String(Guard.read(viewModel, "continuousEndText", ""))
    }

    // kind: "single", "start" or "end"; each field writes through its own setter.
    function setTimeValue(kind, seconds) {
        if (kind === "single")
            Guard.call(viewModel, "setSingleCaptureTimeSeconds", [seconds])
        else if (kind === "start")
            Guard.call(viewModel, "setContinuousStartSeconds", [seconds])
        else
            Guard.call(viewModel, "setContinuousEndSeconds", [seconds])
    }

    function storedTimeText(kind) {
        if (kind === "single")
            return String(Guard.read(viewModel, "singleCaptureTimeText", ""))
        if (kind === "start")
            return String(Guard.read(viewModel, "continuousStartText", ""))
        return String(Guard.read(viewModel, "continuousEndText", ""))
    }

    function applyTimeField(field, kind) {
        setTimeValue(kind, FramePage.parseTimeText(field.text))
        field.text = storedTimeText(kind)
        if (kind !== "single")
            rewriteRangeFields()
    }

    function setTimeFieldFromTimeline(field, kind) {
        setTimeValue(kind, Number(Guard.read(viewModel, "timelineSeconds", 0)))
        field.text = storedTimeText(kind)
        if (kind !== "single")
            rewriteRangeFields()
    }

    // The stored interval of the current mode, as the interval field shows it.
    function intervalText() {
        return continuousMode === "frame_interval" ? String(Guard.read(viewModel, "frameInterval", 5))
                                                   : String(Guard.read(viewModel, "timeIntervalSeconds", 1))
    }

    function applyIntervalField() {
        if (continuousMode === "frame_interval")
            Guard.call(viewModel, "setFrameInterval", [parseInt(intervalField.text, 10) || 1])
        else
            Guard.call(viewModel, "setTimeIntervalSeconds", [parseFloat(intervalField.text) || 1])
        // A plain assignment would cut the field loose from the mode and the view model for good;
        // the binding shows the value as the setter stored it and keeps following both.
        intervalField.text = Qt.binding(function () { return page.intervalText() })
    }

    function continuousModeText(mode) {
        return mode === "frame_interval" ? Tr.t("ui.text.capture.by_frame_interval")
             : mode === "all_frames" ? Tr.t("ui.text.capture.extract_all_frames")
             : Tr.t("ui.text.capture.by_time_interval")
    }

    function continuousModeForText(text) {
        return text === Tr.t("ui.text.capture.by_frame_interval") ? "frame_interval"
             : text === Tr.t("ui.text.capture.extract_all_frames") ? "all_frames" : "time_interval"
    }

    function addToQueue() {
        queueCountBeforeAdd = Number(Guard.read(viewModel, "previewCount", 0))
        Guard.call(viewModel, "addToExportList")
    }

    // A failed add reaches the user as a toast: the queue did not grow.
    function reportAddOutcome() {
        if (Number(Guard.read(viewModel, "previewCount", 0)) <= queueCountBeforeAdd)
            toast.show(Guard.read(viewModel, "statusMessage", ""))
    }

    function showResult(success, message) {
        resultDialogIsSuccess = success
        resultDialog.titleText = Tr.t("tool.result.dialog.title")
        resultDialog.iconSource = success ? "qrc:/assets/icons/status_success.svg" : "qrc:/assets/icons/status_error.svg"
        var text = message === undefined || message === null ? "" : String(message)
        if (text.length === 0)
            text = success ? Tr.t("tool.result.dialog.success_summary", { count: 1 }) : Tr.t("tool.result.dialog.failed_contact_hint")
        resultDialog.messageText = text
        resultDialog.secondaryButtonText = success ? Tr.t("tool.result.dialog.open_folder") : Tr.t("tool.result.dialog.contact_service")
        resultDialog.secondaryButtonVisible = true
        resultDialog.visible = true
    }

    onStartupSourcePathChanged: consumeStartupSourcePath(startupSourcePath)
    Component.onCompleted: {
        consumeStartupSourcePath(startupSourcePath)
        syncPlayerSource()
        singleField.text = String(Guard.read(viewModel, "singleCaptureTimeText", ""))
        rewriteRangeFields()
    }

    Connections {
        target: page.viewModel
        ignoreUnknownSignals: true
        function onSourcePathChanged() { page.syncPlayerSource() }
        function onTimelineSecondsChanged() {
            if (page.syncingFromPlayer || !player.hasMedia)
                return
            player.seekSafely(Number(Guard.read(viewModel, "timelineSeconds", 0)))
        }
        function onContinuousRangeChanged() { page.rewriteRangeFields() }
        function onSingleCaptureTimeSecondsChanged() {
            if (!singleField.activeFocusInside)
                singleField.text = String(Guard.read(viewModel, "singleCaptureTimeText", ""))
        }
        // The outcome is settled after this signal (queue and status text): look on the next turn.
        function onAddingToListBusyChanged() {
            if (!Guard.read(viewModel, "addingToListBusy", false))
                Qt.callLater(page.reportAddOutcome)
        }
        function onExportBatchFinished(success, message) { page.showResult(success, message) }
        function onSourceLoadFailed(message) { page.showResult(false, message) }
    }

    Connections {
        target: player.engine
        ignoreUnknownSignals: true
        function onPositionChanged() { page.copyPlayerPosition() }
    }

    MouseArea {
        anchors.fill: parent
        onPressed: {
            outputPanel.releaseFocus()
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
        titleText: Tr.t("ui.text.tool.video_to_image")
        onCloseRequested: page.closeRequested()
    }

    Item {
        id: leftColumn
        anchors.top: titleBar.bottom
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.right: queueColumn.left
        anchors.margins: 12

        Rectangle {
            id: previewArea
            anchors.top: parent.top
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: timelinePanel.top
            color: Theme.videoBackground
            radius: Theme.radius
            clip: true

            CommonVideoPlayer {
                id: player
                objectName: "toImagePreviewPlayer"
                anchors.fill: parent
                visible: page.sourcePath.length > 0
            }

            Text {
                anchors.centerIn: parent
                visible: !player.hasMedia
                text: page.sourcePath.length > 0 ? Tr.t("ui.text.player.loading") : Tr.t("ui.text.video.select_file")
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
            anchors.bottom: parameterPanel.top
            height: page.timelinePanelHeight

            Text {
                y: 10
                text: Guard.read(viewModel, "timelineText", "00:00:00.000")
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
                objectName: "toImageTimeline"
                y: 30
                width: parent.width
                from: 0
                to: Math.max(1, Number(Guard.read(viewModel, "durationSeconds", 0)))
                enabled: Number(Guard.read(viewModel, "durationSeconds", 0)) > 0
                value: Number(Guard.read(viewModel, "timelineSeconds", 0))
                onMoved: Guard.call(viewModel, "setTimelineSeconds", [value])
            }

            ToolActionButton {
                objectName: "changeVideoButton"
                anchors.right: parent.right
                y: 70
                buttonHeight: page.footerControlHeight
                text: Tr.t("ui.text.video.replace")
                iconSource: "qrc:/assets/icons/open_file.svg"
                onClicked: page.chooseSourceVideo()
            }
        }

        Rectangle {
            id: parameterPanel
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: outputArea.top
            anchors.bottomMargin: 8
            height: page.captureMode === "continuous" ? 182 : 140
            radius: Theme.radius
            color: Theme.surfaceRaised

            Row {
                id: modeToggle
                x: 12
                y: 12
                width: 170
                height: page.footerControlHeight
                Repeater {
                    model: [{ mode: "single", key: "ui.text.capture.single" }, { mode: "continuous", key: "ui.text.capture.continuous" }]
                    delegate: Rectangle {
                        objectName: "mode_" + modelData.mode
                        width: 85
                        height: page.footerControlHeight
                        radius: Theme.radiusSmall
                        color: page.captureMode === modelData.mode ? Theme.accent : Theme.buttonBackground
                        Text {
                            anchors.centerIn: parent
                            text: Tr.t(modelData.key)
                            color: Theme.textPrimary
                            font.pixelSize: Theme.fontBody
                        }
                        MouseArea {
                            anchors.fill: parent
                            onClicked: Guard.call(viewModel, "setCaptureMode", [modelData.mode])
                        }
                    }
                }
            }

            Column {
                x: 12
                anchors.top: modeToggle.bottom
                anchors.topMargin: 12
                spacing: 10

                Row {
                    spacing: 8
                    height: page.footerControlHeight
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: page.captureMode === "continuous" ? Tr.t("ui.text.capture.start_time") : Tr.t("ui.text.capture.time_range")
                        color: Theme.textLabel
                        font.pixelSize: Theme.fontBody
                    }
                    TimeField {
                        id: singleField
                        objectName: "singleTimeField"
                        visible: page.captureMode !== "continuous"
                        onEditingFinished: page.applyTimeField(singleField, "single")
                        onSetCurrentRequested: page.setTimeFieldFromTimeline(singleField, "single")
                    }
                    TimeField {
                        id: startField
                        objectName: "rangeStartField"
                        visible: page.captureMode === "continuous"
                        onEditingFinished: page.applyTimeField(startField, "start")
                        onSetCurrentRequested: page.setTimeFieldFromTimeline(startField, "start")
                    }
                    Text {
                        visible: page.captureMode === "continuous"
                        anchors.verticalCenter: parent.verticalCenter
                        text: Tr.t("ui.text.capture.end_time")
                        color: Theme.textLabel
                        font.pixelSize: Theme.fontBody
                    }
                    TimeField {
                        id: endField
                        objectName: "rangeEndField"
                        visible: page.captureMode === "continuous"
                        onEditingFinished: page.applyTimeField(endField, "end")
                        onSetCurrentRequested: page.setTimeFieldFromTimeline(endField, "end")
                    }
                }

                Row {
                    visible: page.captureMode === "continuous"
                    spacing: 8
                    height: page.footerControlHeight
                    ToolSelectField {
                        objectName: "continuousModeField"
                        height: page.footerControlHeight
                        label: Tr.t("ui.text.capture.mode")
                        labelWidth: 72
                        fieldWidth: 120
                        fieldHeight: page.footerControlHeight
                        options: [Tr.t("ui.text.capture.by_time_interval"), Tr.t("ui.text.capture.by_frame_interval"),
                                  Tr.t("ui.text.capture.extract_all_frames")]
                        currentValue: page.continuousModeText(page.continuousMode)
                        onOptionSelected: Guard.call(viewModel, "setContinuousMode", [page.continuousModeForText(value)])
                    }
                    Text {
                        visible: page.continuousMode !== "all_frames"
                        anchors.verticalCenter: parent.verticalCenter
                        text: page.continuousMode === "frame_interval" ? Tr.t("ui.text.capture.interval_frames")
                                                                       : Tr.t("ui.text.capture.interval_seconds")
                        color: Theme.textLabel
                        font.pixelSize: Theme.fontBody
                    }
                    TextField {
                        id: intervalField
                        objectName: "intervalField"
                        visible: page.continuousMode !== "all_frames"
                        width: 72
                        height: page.footerControlHeight
                        text: page.intervalText()
                        color: Theme.textField
                        font.pixelSize: Theme.fontBody
                        horizontalAlignment: Text.AlignHCenter
                        selectByMouse: true
                        background: Rectangle { color: Theme.fieldBackground; border.color: Theme.controlBorder; radius: Theme.radiusSmall }
                        onEditingFinished: page.applyIntervalField()
                    }
                }
            }

            Rectangle {
                id: addButton
                objectName: "addButton"
                readonly property bool ready: Guard.read(viewModel, "canAddToList", false) === true
                anchors.right: parent.right
                anchors.rightMargin: 12
                anchors.bottom: parent.bottom
                anchors.bottomMargin: 12
                width: 138
                height: 36
                radius: Theme.radius
                color: ready ? (addArea.containsMouse ? Theme.accentHover : Theme.accent) : Theme.buttonBackground
                Text {
                    anchors.centerIn: parent
                    text: Guard.read(viewModel, "addingToListBusy", false) ? Tr.t("ui.text.common.adding") : Tr.t("ui.text.export.add_to_queue")
                    color: addButton.ready ? Theme.textPrimary : Theme.textDisabled
                    font.pixelSize: Theme.fontBody
                }
                MouseArea {
                    id: addArea
                    anchors.fill: parent
                    hoverEnabled: true
                    enabled: addButton.ready
                    onClicked: page.addToQueue()
                }
            }
        }

        Rectangle {
            id: outputArea
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 92
            radius: Theme.radius
            color: Theme.surfaceRaised

            ImageOutputPanel {
                id: outputPanel
                x: 12
                y: 10
                width: parent.width - 24
                height: parent.height - 20
                viewModel: page.viewModel
                controlHeight: page.footerControlHeight
                resolutionLabel: Tr.t("ui.text.export.resolution")
                formatLabel: Tr.t("ui.text.common.format")
                qualityLabel: Tr.t("ui.text.quality.label")
                outputLabel: Tr.t("ui.text.export.output")
                qualityTexts: [Tr.t("ui.text.quality.high"), Tr.t("ui.text.quality.medium"), Tr.t("ui.text.quality.low")]
            }
        }
    }

    Rectangle {
        id: queueColumn
        anchors.top: titleBar.bottom
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 12
        width: 320
        radius: Theme.radius
        color: Theme.surfaceRaised

        Item {
            id: queueHeader
            width: parent.width
            height: 44
            Text {
                x: 12
                anchors.verticalCenter: parent.verticalCenter
                text: Tr.t("ui.text.capture.image_list")
                color: Theme.textHeading
                font.pixelSize: Theme.fontLarge
            }
            ToolActionButton {
                objectName: "clearButton"
                anchors.right: parent.right
                anchors.rightMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                buttonHeight: 30
                horizontalPadding: 10
                enabled: page.clearButtonEnabled
                opacity: enabled ? 1 : 0.45
                text: Tr.t("ui.text.common.clear")
                iconSource: "qrc:/assets/icons/playlist_delete.svg"
                onClicked: Guard.call(viewModel, "clearPreviewItems")
            }
        }

        ListView {
            id: queueList
            objectName: "queueList"
            anchors.top: queueHeader.bottom
            anchors.bottom: queueFooter.top
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.margins: 8
            clip: true
            spacing: 8
            model: Guard.read(viewModel, "previewItems", [])
            delegate: Rectangle {
                width: queueList.width
                height: 148
                radius: Theme.radiusSmall
                color: Theme.cardBackground
                Image {
                    x: 6
                    y: 6
                    width: parent.width - 12
                    height: parent.height - 34
                    asynchronous: true
                    cache: false
                    fillMode: Image.PreserveAspectFit
                    source: FramePage.toFileUrl(modelData.path)
                }
                Text {
                    x: 8
                    anchors.bottom: parent.bottom
                    anchors.bottomMargin: 6
                    width: parent.width - 16
                    text: modelData.name
                    color: Theme.textBody
                    font.pixelSize: Theme.fontSmall
                    elide: Text.ElideMiddle
                }
                Rectangle {
                    objectName: "removeButton"
                    anchors.right: parent.right
                    anchors.top: parent.top
                    anchors.margins: 6
                    width: 22
                    height: 22
                    radius: 11
                    color: Theme.modalScrim
                    Text { anchors.centerIn: parent; text: "x"; color: Theme.textPrimary; font.pixelSize: Theme.fontSmall }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: Guard.call(viewModel, "removePreviewAt", [index])
                    }
                }
            }
        }

        Text {
            anchors.centerIn: queueList
            visible: queueList.count === 0
            text: Tr.t("ui.text.export.empty_images")
            color: Theme.textHint
            font.pixelSize: Theme.fontBody
        }

        Item {
            id: queueFooter
            anchors.bottom: parent.bottom
            width: parent.width
            height: 56
            ToolCheckBox {
                objectName: "longImageCheckBox"
                x: 12
                anchors.verticalCenter: parent.verticalCenter
                text: Tr.t("ui.text.export.long_image")
                checked: Guard.read(viewModel, "outputLongImage", false) === true
                onToggled: {
                    Guard.call(viewModel, "setOutputLongImage", [!Guard.read(viewModel, "outputLongImage", false)])
                    checked = Qt.binding(function () { return Guard.read(viewModel, "outputLongImage", false) === true })
                }
            }
            Rectangle {
                id: exportButton
                objectName: "exportButton"
                anchors.right: parent.right
                anchors.rightMargin: 12
                anchors.verticalCenter: parent.verticalCenter
                width: 132
                height: 36
                radius: Theme.radius
                color: page.exportButtonEnabled ? (exportArea.containsMouse ? Theme.accentHover : Theme.accent) : Theme.buttonBackground
                Text {
                    anchors.centerIn: parent
                    text: Guard.read(viewModel, "exportingBusy", false) ? Tr.t("ui.text.export.exporting") : Tr.t("ui.text.export.export")
                    color: page.exportButtonEnabled ? Theme.textPrimary : Theme.textDisabled
                    font.pixelSize: Theme.fontBody
                }
                MouseArea {
                    id: exportArea
                    anchors.fill: parent
                    hoverEnabled: true
                    enabled: page.exportButtonEnabled
                    onClicked: Guard.call(viewModel, "exportList")
                }
            }
        }
    }

    Timer {
        interval: 120
        repeat: true
        running: player.hasMedia && !timeline.pressed
        onTriggered: page.copyPlayerPosition()
    }

    StatusToast {
        id: toast
        objectName: "toImageToast"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 40
        z: 900
    }

    ToolResultDialog {
        id: resultDialog
        objectName: "toImageResultDialog"
        anchors.fill: parent
        onPrimaryClicked: closeDialog()
        onSecondaryClicked: {
            if (page.resultDialogIsSuccess) {
                var folder = String(Guard.read(viewModel, "outputDirectory", ""))
                if (folder.length > 0)
                    Qt.openUrlExternally(FramePage.toFileUrl(folder))
            } else {
                Guard.call("systemActions", "openCustomerService", [""])
            }
            closeDialog()
        }
    }
}
