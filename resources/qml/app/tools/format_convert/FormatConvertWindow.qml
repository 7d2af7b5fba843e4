// The format-convert tool's page: the shared batch frame with the output, video and audio
// choices of the format-convert view model.
import QtQuick 2.14
import ".."
import "components"
import "../../../components"
import "../../../shared"

ToolBatchPage {
    id: page

    readonly property string damagedText: Tr.t("ui.text.file.damaged")

    titleKey: "tool.format_convert.title"
    emptyHintKey: "tool.format_convert.empty_hint"
    pickFilesMember: "pickTranscodeMediaFiles"
    viewModel: Guard.object("formatConvertViewModel")
    panelHeight: 196

    function localizedStartButtonText(raw) {
        return startButton.runningTexts.indexOf(String(raw)) >= 0 ? Tr.t("tool.format_convert.start.running")
                                                                  : Tr.t("tool.format_convert.start.idle")
    }

    taskDelegate: FormatConvertTaskCard {
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
        parseErrorText: String(model.sourceResolution).indexOf(page.damagedText) === 0 ? model.sourceResolution : ""
        onRemoveRequested: Guard.call("formatConvertViewModel", "removeTask", [row])
    }

    Row {
        x: 20
        y: 14
        spacing: 28

        Column {
            spacing: 10
            Text {
                text: Tr.t("tool.common.output_format")
                color: Theme.textHeading
                font.pixelSize: Theme.fontCardTitle
            }
            ToolSelectField {
                objectName: "outputFormatField"
                label: Tr.t("tool.common.label.format")
                options: Guard.read("formatConvertViewModel", "outputFormatOptions", [])
                currentValue: Guard.read("formatConvertViewModel", "outputFormat", "")
                onOptionSelected: Guard.call("formatConvertViewModel", "setOutputFormat", [value])
            }
            OutputDirectoryField {
                fieldWidth: 230
                folder: Guard.read("formatConvertViewModel", "outputDirectory", "")
                onEditRequested: page.chooseOutputDirectory()
                onOpenRequested: page.openOutputDirectory()
            }
        }

        Column {
            spacing: 10
            enabled: Guard.read("formatConvertViewModel", "videoOptionsEnabled", false)
            opacity: enabled ? 1 : 0.45
            Text {
                text: Tr.t("tool.common.video_params")
                color: Theme.textHeading
                font.pixelSize: Theme.fontCardTitle
            }
            Row {
                spacing: 12
                ToolSelectField {
                    label: Tr.t("tool.common.label.codec")
                    labelWidth: 50
                    options: Guard.read("formatConvertViewModel", "videoCodecOptions", ["Auto"])
                    currentValue: Guard.read("formatConvertViewModel", "videoCodec", "Auto")
                    onOptionSelected: Guard.call("formatConvertViewModel", "setVideoCodec", [value])
                }
                ToolSelectField {
                    label: Tr.t("tool.common.label.frame_rate")
                    labelWidth: 50
                    options: Guard.read("formatConvertViewModel", "frameRateOptions", ["Auto"])
                    currentValue: Guard.read("formatConvertViewModel", "frameRate", "Auto")
                    onOptionSelected: Guard.call("formatConvertViewModel", "setFrameRate", [value])
                }
            }
            Row {
                spacing: 12
                ToolSelectField {
                    label: Tr.t("tool.common.label.resolution")
                    labelWidth: 50
                    options: Guard.read("formatConvertViewModel", "resolutionOptions", ["Auto"])
                    currentValue: Guard.read("formatConvertViewModel", "resolution", "Auto")
                    onOptionSelected: Guard.call("formatConvertViewModel", "setResolution", [value])
                }
                ToolSelectField {
                    label: Tr.t("tool.common.label.bitrate")
                    labelWidth: 50
                    unitSuffix: "kbps"
                    options: Guard.read("formatConvertViewModel", "videoBitrateOptions", ["Auto"])
                    currentValue: Guard.read("formatConvertViewModel", "videoBitrate", "Auto")
                    onOptionSelected: Guard.call("formatConvertViewModel", "setVideoBitrate", [value])
                }
            }
        }

        Column {
            spacing: 10
            Text {
                text: Tr.t("tool.common.audio_params")
                color: Theme.textHeading
                font.pixelSize: Theme.fontCardTitle
            }
            ToolSelectField {
                label: Tr.t("tool.common.label.codec")
                labelWidth: 50
                options: Guard.read("formatConvertViewModel", "audioCodecOptions", ["Auto"])
                currentValue: Guard.read("formatConvertViewModel", "audioCodec", "Auto")
                onOptionSelected: Guard.call("formatConvertViewModel", "setAudioCodec", [value])
            }
            ToolSelectField {
                label: Tr.t("tool.common.label.bitrate")
                labelWidth: 50
                unitSuffix: "kbps"
                options: Guard.read("formatConvertViewModel", "audioBitrateOptions", ["Auto"])
                currentValue: Guard.read("formatConvertViewModel", "audioBitrate", "Auto")
                onOptionSelected: Guard.call("formatConvertViewModel", "setAudioBitrate", [value])
            }
        }
    }

    Row {
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.rightMargin: 20
        anchors.bottomMargin: 16
        spacing: 16

        ToolCheckBox {
            objectName: "shutdownCheckBox"
            anchors.verticalCenter: parent.verticalCenter
            text: Tr.t("tool.common.shutdown_when_finished")
            checked: Guard.read("formatConvertViewModel", "shutdownWhenFinished", false)
            onToggled: Guard.call("formatConvertViewModel", "setShutdownWhenFinished", [checked])
        }
        ToolStartButton {
            id: startButton
            objectName: "startButton"
            canStart: Guard.read("formatConvertViewModel", "canStartTasks", false)
            rawText: Guard.read("formatConvertViewModel", "startButtonText", "")
            runningTexts: [Tr.t("tool.format_convert.start.running"), "Converting...", "Converting"]
            runningKey: "tool.format_convert.start.running"
            idleKey: "tool.format_convert.start.idle"
            onClicked: Guard.call("formatConvertViewModel", "startTasks")
        }
    }
}
