// Stand-in for the player page while the bundle has none: window controls, the toolbox and
// the last file handed over, so the window, the tools and the hand-off can be tried out.
import QtQuick 2.14
import QtQuick.Window 2.14
import "../components"
import "../components/FileUrl.js" as FileUrl
import "tools/ToolRegistry.js" as ToolRegistry
import "../shared"

Rectangle {
    id: page

    property string windowTitle: ""
    property string productTitle: Qt.application.name
    property string titleSlogan: ""
    property bool windowIsMaximized: false
    property string startupMediaFileUrl: ""
    property bool playerFullScreen: false
    property var openedFileUrls: []
    readonly property string lastOpenedPath: openedFileUrls.length > 0
                                             ? FileUrl.toLocalPath(openedFileUrls[openedFileUrls.length - 1])
                                             : FileUrl.toLocalPath(startupMediaFileUrl)

    signal toolRequested(string toolId, string startupSourcePath)
    signal minimizeRequested()
    signal toggleMaximizeRequested()
    signal closeRequested()

    function openExternalFilesAndPlay(urls) {
        var list = openedFileUrls.slice()
        for (var i = 0; i < urls.length; ++i)
            list.push(String(urls[i]))
        openedFileUrls = list
    }

    function openDroppedFiles(urls) {
        openExternalFilesAndPlay(urls)
    }

    function exitPlayerFullScreen() {
        playerFullScreen = false
    }

    color: "#050505"

    Rectangle {
        id: titleBar
        width: parent.width
        height: 44
        color: "#141414"

        MouseArea {
            anchors.fill: parent
            onPressed: {
                if (page.Window.window && typeof page.Window.window.startSystemMove === "function")
                    page.Window.window.startSystemMove()
            }
            onDoubleClicked: page.toggleMaximizeRequested()
        }

        Text {
            anchors.left: parent.left
            anchors.leftMargin: 16
            anchors.verticalCenter: parent.verticalCenter
            text: page.windowTitle.length > 0 ? page.windowTitle : page.productTitle
            color: "#F3F6FB"
            font.pixelSize: 14
        }

        Row {
            anchors.right: parent.right
            height: parent.height

            Repeater {
                model: [
                    { glyph: "\u2013", action: "minimize" },
                    { glyph: "\u25A1", action: "maximize" },
                    { glyph: "\u2715", action: "close" }
                ]
                delegate: Rectangle {
                    width: 46
                    height: parent.height
                    color: buttonArea.containsMouse ? (modelData.action === "close" ? "#C93C3C" : "#2B2B2B")
                                                    : "transparent"
                    Text {
                        anchors.centerIn: parent
                        text: modelData.glyph
                        color: "#F3F6FB"
                        font.pixelSize: 14
                    }
                    MouseArea {
                        id: buttonArea
                        objectName: "windowButton_" + modelData.action
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: {
                            if (modelData.action === "minimize")
                                page.minimizeRequested()
                            else if (modelData.action === "maximize")
                                page.toggleMaximizeRequested()
                            else
                                page.closeRequested()
                        }
                    }
                }
            }
        }
    }

    Column {
        anchors.centerIn: parent
        spacing: 18

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: page.titleSlogan
            color: "#9AA3AE"
            font.pixelSize: 16
            visible: text.length > 0
        }

        Text {
            objectName: "lastOpenedPath"
            anchors.horizontalCenter: parent.horizontalCenter
            text: page.lastOpenedPath
            color: "#F3F6FB"
            font.pixelSize: 13
            visible: text.length > 0
        }

        Row {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 12

            Repeater {
                model: ToolRegistry.availableTools()
                delegate: Rectangle {
                    width: 132
                    height: 76
                    radius: 8
                    color: toolArea.containsMouse ? "#2B2B2B" : "#1C1C1C"
                    border.color: "#404040"
                    opacity: modelData.enabled ? 1 : 0.5

                    ThemedIcon {
                        anchors.horizontalCenter: parent.horizontalCenter
                        y: 12
                        iconSize: 24
                        source: modelData.icon
                        color: toolArea.containsMouse ? "#FFFFFF" : "#C8CDD4"
                    }
                    Text {
                        anchors.horizontalCenter: parent.horizontalCenter
                        y: 46
                        text: Tr.t(modelData.titleKey)
                        color: "#F3F6FB"
                        font.pixelSize: 12
                    }
                    MouseArea {
                        id: toolArea
                        anchors.fill: parent
                        hoverEnabled: true
                        enabled: modelData.enabled
                        onClicked: page.toolRequested(modelData.toolId, page.lastOpenedPath)
                    }
                    HoverToolTip {
                        host: page
                        target: toolArea
                        text: Tr.t(modelData.titleKey)
                    }
                }
            }
        }
    }
}
