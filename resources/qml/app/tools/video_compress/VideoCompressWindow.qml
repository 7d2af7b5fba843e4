// The video-compress tool's page: the shared batch frame with the container, the compression
// mode chips and the ratio slider of the video-compress view model.
import QtQuick 2.14
import QtQuick.Controls 2.14
import ".."
import "components"
import "../../../components"
import "../../../shared"

ToolBatchPage {
    id: page

    titleKey: "tool.video_compress.title"
    emptyHintKey: "tool.video_compress.empty_hint"
    pickFilesMember: "pickVideoToolMediaFiles"
    viewModel: Guard.object("videoCompressViewModel")
    // Room for the ratio labels under the slider above the tip.
    panelHeight: 220

    readonly property string compressionMode: Guard.read("videoCompressViewModel", "compressionMode", "Balanced")
    readonly property int recommendedRatio: 70

    function formatLabel(value) {
        return String(value) === "Source" ? Tr.t("tool.video_compress.source_format") : String(value)
    }

    function localizedStartButtonText(raw) {
        return startButton.runningTexts.indexOf(String(raw)) >= 0 ? Tr.t("tool.video_compress.start.running")
                                                                  : Tr.t("tool.video_compress.start.idle")
    }

    taskDelegate: VideoCompressTaskCard {
        width: ListView.view ? ListView.view.width : 0
        itemIndex: index
        sourcePath: model.sourcePath
        fileName: model.fileName
        fileSizeText: model.fileSizeText
        sourceFormat: model.sourceFormat
        sourceResolution: model.sourceResolution
        targetFormat: model.targetFormat
        targetResolution: model.targetResolution
        status: model.status
        progress: model.progress
        compressionModeLabel: model.compressionModeLabel
        compressionRatioText: model.compressionRatioText
        targetSizeLabel: model.targetSizeLabel
        targetSizeText: model.targetSizeText
        onRemoveRequested: Guard.call("videoCompressViewModel", "removeTask", [row])
    }

    Column {
        x: 20
        y: 16
        spacing: 12

        Row {
            spacing: 28
            ToolSelectField {
                id: formatField
                objectName: "outputFormatField"
                label: Tr.t("tool.video_compress.save_format")
                labelWidth: 70
                options: {
                    var raw = Guard.read("videoCompressViewModel", "outputFormatOptions", [])
                    var shown = []
                    for (var i = 0; i < raw.length; ++i)
                        shown.push(page.formatLabel(raw[i]))
                    return shown
                }
                currentValue: page.formatLabel(Guard.read("videoCompressViewModel", "outputFormat", "Source"))
                onOptionSelected: {
                    var raw = Guard.read("videoCompressViewModel", "outputFormatOptions", [])
                    for (var i = 0; i < raw.length; ++i) {
                        if (page.formatLabel(raw[i]) === value)
                            Guard.call("videoCompressViewModel", "setOutputFormat", [raw[i]])
                    }
                }
            }
            OutputDirectoryField {
                fieldWidth: 300
                folder: Guard.read("videoCompressViewModel", "outputDirectory", "")
                onEditRequested: page.chooseOutputDirectory()
                onOpenRequested: page.openOutputDirectory()
            }
        }

        Row {
            spacing: 12
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: Tr.t("tool.video_compress.mode.title")
                color: Theme.textLabel
                font.pixelSize: Theme.fontSmall
            }
            Repeater {
                model: [{ key: "Speed", textKey: "tool.video_compress.mode.speed" },
                        { key: "Balanced", textKey: "tool.video_compress.mode.balanced" },
                        { key: "Quality", textKey: "tool.video_compress.mode.quality" }]
                delegate: Rectangle {
                    readonly property bool selected: page.compressionMode === modelData.key
                    objectName: "modeChip" + modelData.key
                    width: chipText.implicitWidth + 28
                    height: 30
                    radius: 15
                    color: selected ? Theme.accent : Theme.buttonBackground
                    border.color: selected ? Theme.accent : Theme.selectBorder
                    Text {
                        id: chipText
                        anchors.centerIn: parent
                        text: Tr.t(modelData.textKey)
                        color: Theme.textPrimary
                        font.pixelSize: Theme.fontSmall
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: Guard.call("videoCompressViewModel", "setCompressionMode", [modelData.key])
                    }
                }
            }
        }

        // The labels sit under the slider's whole height, so the knob never covers one.
        Item {
            width: 520
            height: ratioSlider.y + ratioSlider.height + 4 + recommendedLabel.implicitHeight

            Slider {
                id: ratioSlider
                objectName: "ratioSlider"
                y: 20
                width: parent.width
                from: 20
                to: 100
                stepSize: 1
                value: Guard.read("videoCompressViewModel", "compressionRatio", 70)
                onMoved: Guard.call("videoCompressViewModel", "setCompressionRatio", [Math.round(value)])
            }
            Connections {
                target: page.viewModel
                ignoreUnknownSignals: true
                function onCompressionRatioChanged() {
                    ratioSlider.value = Guard.read("videoCompressViewModel", "compressionRatio", 70)
                }
            }
            Rectangle {
                readonly property real handleX: ratioSlider.leftPadding + ratioSlider.visualPosition
                                                * (ratioSlider.availableWidth - ratioSlider.handle.width)
                                                + ratioSlider.handle.width / 2
                width: badgeText.implicitWidth + 12
                height: 18
                radius: 4
                x: Math.max(0, Math.min(parent.width - width, handleX - width / 2))
                color: Theme.accent
                Text {
                    id: badgeText
                    anchors.centerIn: parent
                    text: Math.round(ratioSlider.value) + "%"
                    color: Theme.textPrimary
                    font.pixelSize: Theme.fontTiny
                }
            }
            Text {
                objectName: "ratioLowLabel"
                anchors.left: parent.left
                anchors.bottom: parent.bottom
                text: Tr.t("tool.video_compress.ratio.low_size_low_quality")
                color: Theme.textHint
                font.pixelSize: Theme.fontSmall
            }
            Text {
                id: recommendedLabel
                objectName: "ratioRecommendedLabel"
                x: ratioSlider.leftPadding + (page.recommendedRatio - ratioSlider.from) / (ratioSlider.to - ratioSlider.from)
                   * ratioSlider.availableWidth - width / 2
                anchors.bottom: parent.bottom
                text: Tr.t("tool.video_compress.ratio.recommended")
                color: Theme.textHint
                font.pixelSize: Theme.fontSmall
            }
            Text {
                objectName: "ratioHighLabel"
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                text: Tr.t("tool.video_compress.ratio.high_size_high_quality")
                color: Theme.textHint
                font.pixelSize: Theme.fontSmall
            }
        }
    }

    Text {
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.leftMargin: 20
        anchors.bottomMargin: 8
        objectName: "ratioTip"
        text: Tr.t("tool.video_compress.ratio.tip")
        color: Theme.textFaint
        font.pixelSize: Theme.fontSmall
    }

    Column {
        anchors.right: parent.right
        anchors.rightMargin: 20
        anchors.verticalCenter: parent.verticalCenter
        spacing: 12

        ToolStartButton {
            id: startButton
            objectName: "startButton"
            canStart: Guard.read("videoCompressViewModel", "canStartTasks", false)
            rawText: Guard.read("videoCompressViewModel", "startButtonText", "")
            runningTexts: [Tr.t("tool.video_compress.start.running"), "Compressing...", "Compressing"]
            runningKey: "tool.video_compress.start.running"
            idleKey: "tool.video_compress.start.idle"
            onClicked: Guard.call("videoCompressViewModel", "startTasks")
        }
        ToolCheckBox {
            objectName: "shutdownCheckBox"
            text: Tr.t("tool.common.shutdown_when_finished")
            checked: Guard.read("videoCompressViewModel", "shutdownWhenFinished", false)
            onToggled: Guard.call("videoCompressViewModel", "setShutdownWhenFinished", [checked])
        }
    }
}
