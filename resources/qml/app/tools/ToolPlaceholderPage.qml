// Stand-in page for a tool whose own page is not in the bundle yet: the full page contract
// (start-up path, view model, close request) around the tool's title and received file.
import QtQuick 2.14
import "../../components"
import "../../components/FileUrl.js" as FileUrl
import "../../shared"

Item {
    id: page

    property string titleKey: ""
    property url iconSource: ""
    property var toolViewModel: null
    property string startupSourcePath: ""
    readonly property var viewModel: toolViewModel
    // The last file this page was given, as a local path.
    property string lastSourcePath: ""

    signal closeRequested()

    function consumeStartupSourcePath(pathOrUrl) {
        var path = FileUrl.toLocalPath(pathOrUrl === undefined || pathOrUrl === null ? "" : String(pathOrUrl).trim())
        if (path.length === 0)
            return
        lastSourcePath = path
        Guard.call(viewModel, "addFiles", [[path]])
    }

    onStartupSourcePathChanged: consumeStartupSourcePath(startupSourcePath)

    ToolWindowTitleBar {
        id: titleBar
        width: parent.width
        height: 46
        titleText: Tr.t(page.titleKey)
        onCloseRequested: page.closeRequested()
    }

    Column {
        anchors.centerIn: parent
        width: parent.width - 96
        spacing: 14

        ThemedIcon {
            anchors.horizontalCenter: parent.horizontalCenter
            iconSize: 48
            source: page.iconSource
            color: Theme.iconMuted
        }

        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: titleBar.titleText
            color: Theme.textMuted
            font.pixelSize: Theme.fontHeading
        }

        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            elide: Text.ElideMiddle
            text: page.lastSourcePath
            color: Theme.textHint
            font.pixelSize: Theme.fontBody
        }
    }
}
