// Frame shared by the batch tool pages (format convert, video compress): title bar, list
// actions, the task list with its empty hint, a bottom panel the page fills in, the error toast
// of a refused output folder and the result dialog of a finished batch.
import QtQuick 2.14
import QtQuick.Controls 2.14
import "../../components"
import "../../components/FileUrl.js" as FileUrl
import "../../shared"

Item {
    id: page

    property string titleKey: ""
    property string emptyHintKey: ""
    property string addFileKey: "tool.common.add_file"
    property string addFolderKey: "tool.common.add_folder"
    property string clearListKey: "tool.common.clear_list"
    // Why the jobs of a batch failed, when the tool can tell; shown under the failed summary.
    property string failureReasonText: ""
    // The file dialog member that offers this tool's inputs.
    property string pickFilesMember: "pickTranscodeMediaFiles"
    property var viewModel: null
    readonly property var taskListModel: Guard.offers(viewModel, "taskModelObject") ? Guard.call(viewModel, "taskModelObject") : null
    property Component taskDelegate: null
    property int panelHeight: 200
    default property alias panelContent: panel.data
    property string startupSourcePath: ""
    property string outputDirectoryToastText: ""
    property bool resultDialogIsSuccess: false
    // The last file handed over by the tool window, as a local path.
    property string lastSourcePath: ""
    readonly property alias listView: taskList

    signal closeRequested()

    function consumeStartupSourcePath(sourcePath) {
        var path = FileUrl.toLocalPath(sourcePath === undefined || sourcePath === null ? "" : String(sourcePath))
        if (path.length === 0)
            return
        lastSourcePath = path
        Guard.call(viewModel, "addFiles", [[path]])
    }

    function chooseOutputDirectory() {
        var picked = Guard.call("fileDialogService", "pickFolder")
        var path = FileUrl.toLocalPath(picked === undefined || picked === null ? "" : String(picked))
        if (path.length === 0)
            return
        Guard.call(viewModel, "setOutputDirectory", [path])
    }

    function openOutputDirectory() {
        var folder = String(Guard.read(viewModel, "outputDirectory", ""))
        if (folder.length === 0)
            return
        Qt.openUrlExternally(FileUrl.fromLocalPath(folder))
    }

    function contactCustomerService() {
        Guard.call("systemActions", "openCustomerService", [""])
    }

    function showBatchResult(successCount, failedCount) {
        // A count the signal did not carry reads as 0.
        var ok = Number(successCount) || 0, failed = Number(failedCount) || 0
        if (ok <= 0 && failed <= 0)
            return
        resultDialog.titleText = Tr.t("tool.result.dialog.title")
        if (failed <= 0) {
            resultDialogIsSuccess = true
            resultDialog.iconSource = "qrc:/assets/icons/status_success.svg"
            resultDialog.messageText = Tr.t("tool.result.dialog.success_summary", { count: ok })
            resultDialog.secondaryButtonText = Tr.t("tool.result.dialog.open_folder")
        } else {
            resultDialogIsSuccess = false
            resultDialog.iconSource = "qrc:/assets/icons/status_error.svg"
            var summary = Tr.t("tool.result.dialog.failed_summary", { success: ok, failed: failed })
            resultDialog.messageText = failureReasonText.length > 0 ? summary + "\n" + failureReasonText : summary
            resultDialog.secondaryButtonText = Tr.t("tool.result.dialog.contact_service")
        }
        resultDialog.secondaryButtonVisible = true
        resultDialog.visible = true
    }

    function showOutputDirectoryError(message) {
        outputDirectoryToastText = String(message)
        toastTimer.restart()
    }

    onStartupSourcePathChanged: consumeStartupSourcePath(startupSourcePath)

    Rectangle {
        anchors.fill: parent
        color: Theme.toolWindowBackground
    }

    ToolWindowTitleBar {
        id: titleBar
        width: parent.width
        height: 46
        titleText: Tr.t(page.titleKey)
        onCloseRequested: page.closeRequested()
    }

    Row {
        id: actions
        anchors.top: titleBar.bottom
        anchors.left: parent.left
        anchors.topMargin: 12
        anchors.leftMargin: 20
        spacing: 12

        ToolActionButton {
            objectName: "addFileButton"
            text: Tr.t(page.addFileKey)
            iconSource: "qrc:/assets/icons/open_file.svg"
            onClicked: {
                var files = page.pickFilesMember === "pickVideoToolMediaFiles"
                        ? Guard.call("fileDialogService", "pickVideoToolMediaFiles")
                        : Guard.call("fileDialogService", "pickTranscodeMediaFiles")
                if (files && files.length > 0)
                    Guard.call(viewModel, "addFiles", [files])
            }
        }
        ToolActionButton {
            objectName: "addFolderButton"
            text: Tr.t(page.addFolderKey)
            iconSource: "qrc:/assets/icons/tool_folder.svg"
            onClicked: {
                var folder = Guard.call("fileDialogService", "pickFolder")
                if (folder && String(folder).length > 0)
                    Guard.call(viewModel, "addFolder", [String(folder)])
            }
        }
    }

    ToolActionButton {
        objectName: "clearListButton"
        anchors.top: actions.top
        anchors.right: parent.right
        anchors.rightMargin: 20
        text: Tr.t(page.clearListKey)
        iconSource: "qrc:/assets/icons/playlist_delete.svg"
        onClicked: Guard.call(viewModel, "clearTasks")
    }

    ListView {
        id: taskList
        objectName: "taskList"
        anchors.top: actions.bottom
        anchors.bottom: panel.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.margins: 20
        spacing: 10
        clip: true
        model: page.taskListModel
        delegate: page.taskDelegate
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }
    }

    Text {
        objectName: "emptyHint"
        anchors.centerIn: taskList
        visible: taskList.count === 0
        text: Tr.t(page.emptyHintKey)
        color: Theme.textHint
        font.pixelSize: Theme.fontBody
    }

    Rectangle {
        id: panel
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: page.panelHeight
        color: Theme.surfaceRaised
    }

    Connections {
        target: page.viewModel
        ignoreUnknownSignals: true
        function onOutputDirectoryValidationFailed(message) { page.showOutputDirectoryError(message) }
        function onBatchExecutionFinished(successCount, failedCount) { page.showBatchResult(successCount, failedCount) }
    }

    Timer {
        id: toastTimer
        interval: 2800
        onTriggered: page.outputDirectoryToastText = ""
    }

    Item {
        objectName: "outputDirectoryToast"
        anchors.fill: parent
        visible: page.outputDirectoryToastText.length > 0
        z: 50

        Rectangle {
            anchors.fill: parent
            color: Theme.toastVeil
        }
        Rectangle {
            anchors.centerIn: parent
            width: Math.max(260, Math.min(toastText.implicitWidth + 36, page.width - 120))
            height: toastText.paintedHeight + 28
            radius: Theme.radius
            color: Theme.toastError
            Text {
                id: toastText
                objectName: "outputDirectoryToastText"
                anchors.centerIn: parent
                width: parent.width - 36
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                text: page.outputDirectoryToastText
                textFormat: Text.PlainText
                color: Theme.textPrimary
                font.pixelSize: Theme.fontBody
            }
        }
    }

    ToolResultDialog {
        id: resultDialog
        objectName: "resultDialog"
        anchors.fill: parent
        z: 60
        onPrimaryClicked: closeDialog()
        onSecondaryClicked: {
            if (page.resultDialogIsSuccess)
                page.openOutputDirectory()
            else
                page.contactCustomerService()
            closeDialog()
        }
    }
}
