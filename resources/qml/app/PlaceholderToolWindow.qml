// Stand-in for the tool window while the bundle has none: the same window contract (tool id,
// start-up path, close request) around the chosen tool's title.
import QtQuick 2.14
import QtQuick.Window 2.14
import "../components"
import "tools/ToolRegistry.js" as ToolRegistry
import "../components/ScreenFit.js" as ScreenFit
import "../shared"

Window {
    id: toolWindow

    property string toolId: ""
    property string startupSourcePath: ""
    readonly property var toolConfig: ToolRegistry.toolConfig(toolId)
    readonly property var screenAvailableSize: Guard.object("screenAvailableSizeFromCpp")

    signal closeRequested()

    function entryValue(name, fallback) {
        return toolConfig && typeof toolConfig[name] === "number" ? toolConfig[name] : fallback
    }

    flags: Qt.Window | Qt.FramelessWindowHint
    visible: true
    color: Theme.toolWindowBackground
    width: ScreenFit.fitted(entryValue("windowWidth", 1020), screenAvailableSize, "width")
    height: ScreenFit.fitted(entryValue("windowHeight", 720), screenAvailableSize, "height")
    minimumWidth: ScreenFit.fitted(entryValue("minimumWidth", 980), screenAvailableSize, "width")
    minimumHeight: ScreenFit.fitted(entryValue("minimumHeight", 600), screenAvailableSize, "height")
    title: toolConfig && Tr.t(toolConfig.titleKey).length > 0 ? Tr.t(toolConfig.titleKey)
                                                                   : Qt.application.name

    onClosing: toolWindow.closeRequested()

    Rectangle {
        width: parent.width
        height: 46
        color: Theme.toolTitleBarBackground

        MouseArea {
            anchors.fill: parent
            onPressed: {
                toolWindow.startSystemMove()
            }
        }

        ThemedIcon {
            id: toolIcon
            x: 16
            anchors.verticalCenter: parent.verticalCenter
            iconSize: 18
            source: toolWindow.toolConfig ? toolWindow.toolConfig.icon : ""
            color: Theme.textStrong
        }

        Text {
            anchors.left: toolIcon.right
            anchors.leftMargin: 10
            anchors.verticalCenter: parent.verticalCenter
            text: toolWindow.title
            color: Theme.textStrong
            font.pixelSize: Theme.fontLarge
        }

        Rectangle {
            anchors.right: parent.right
            width: 48
            height: parent.height
            color: closeArea.pressed ? Theme.dangerPressed : closeArea.containsMouse ? Theme.danger : "transparent"
            Text {
                anchors.centerIn: parent
                text: "\u2715"
                color: Theme.textStrong
                font.pixelSize: Theme.fontLarge
            }
            MouseArea {
                id: closeArea
                objectName: "toolWindowClose"
                anchors.fill: parent
                hoverEnabled: true
                onClicked: toolWindow.closeRequested()
            }
        }
    }

    Text {
        anchors.centerIn: parent
        width: parent.width - 48
        horizontalAlignment: Text.AlignHCenter
        elide: Text.ElideMiddle
        text: toolWindow.startupSourcePath
        color: Theme.textDim
        font.pixelSize: Theme.fontBody
    }
}
