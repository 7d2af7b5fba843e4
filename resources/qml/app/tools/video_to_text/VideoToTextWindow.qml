// The video-to-text tool's page: the shared batch frame with the output format, the recognition
// language and the output folder of the video-to-text view model.
import QtQuick 2.14
import ".."
import "components"
import "../format_convert/components"
import "../../../components/FileUrl.js" as FileUrl
import "../../../shared"

ToolBatchPage {
    id: page

    readonly property string damagedText: Tr.t("ui.text.file.damaged")
    readonly property alias startButton: startButton

    titleKey: "ui.text.tool.video_to_text"
    emptyHintKey: "ui.text.video_to_text.add_file_first"
    addFileKey: "ui.text.file.add_file"
    addFolderKey: "ui.text.file.add_folder"
    clearListKey: "ui.text.common.clear"
    pickFilesMember: "pickVideoToolMediaFiles"
    viewModel: Guard.object("videoToTextViewModel")
    panelHeight: 150
    failureReasonText: Guard.read("videoToTextViewModel", "lastFailureText", "")

    function toLocalPath(pathOrUrl) {
        return FileUrl.toLocalPath(pathOrUrl === undefined || pathOrUrl === null ? "" : String(pathOrUrl))
    }

    // The view model also offers "add files" while nothing can start; the button then still
    // reads as the idle action.
    function localizedStartButtonText(rawText) {
        var running = Tr.t("tool.video_to_text.start.running")
        return String(rawText) === running ? running : Tr.t("tool.video_to_text.start.convert")
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
        targetResolution: model.targetLanguage
        targetSecondaryLabel: Tr.t("ui.text.language.label")
        status: model.status
        progress: model.progress
        parseErrorText: String(model.sourceResolution).indexOf(page.damagedText) === 0 ? model.sourceResolution : ""
        onRemoveRequested: Guard.call("videoToTextViewModel", "removeTask", [row])
    }

    Column {
        id: options
        x: 22
        y: 12
        spacing: 12

        OptionRadioRow {
            objectName: "outputFormatRow"
            label: Tr.t("ui.text.export.format")
            optionSpacing: 22
            options: Guard.read("videoToTextViewModel", "outputFormatOptions", [])
            currentValue: Guard.read("videoToTextViewModel", "outputFormat", "")
            onOptionSelected: Guard.call("videoToTextViewModel", "setOutputFormat", [value])
        }
        OptionRadioRow {
            objectName: "recognitionLanguageRow"
            label: Tr.t("ui.text.recognition.language")
            optionSpacing: 20
            options: Guard.read("videoToTextViewModel", "recognitionLanguageOptions", [])
            currentValue: Guard.read("videoToTextViewModel", "recognitionLanguage", "")
            onOptionSelected: Guard.call("videoToTextViewModel", "setRecognitionLanguage", [value])
        }
        OutputDirectoryField {
            id: folderRow
            labelKey: "ui.text.export.output_dir"
            labelWidth: 76
            labelPixelSize: Theme.fontLarge
            labelColor: Theme.textOption
            fieldWidth: Math.max(220, page.width - options.x - 84 - 40 - 154)
            folder: Guard.read("videoToTextViewModel", "outputDirectory", "")
            onEditRequested: page.chooseOutputDirectory()
            onOpenRequested: page.openOutputDirectory()
        }
    }

    ToolStartButton {
        id: startButton
        objectName: "startButton"
        anchors.right: parent.right
        anchors.rightMargin: 22
        y: options.y + folderRow.y + (folderRow.height - height) / 2
        width: 126
        canStart: Guard.read("videoToTextViewModel", "canStartTasks", false)
        rawText: Guard.read("videoToTextViewModel", "startButtonText", "")
        runningTexts: [Tr.t("tool.video_to_text.start.running")]
        runningKey: "tool.video_to_text.start.running"
        idleKey: "tool.video_to_text.start.convert"
        onClicked: Guard.call("videoToTextViewModel", "startTasks")
    }
}
