// Push button of the tool pages: optional icon and text, sized to its content.
import QtQuick 2.14
import "../shared"

Rectangle {
    id: root

    property string text: ""
    property url iconSource: ""
    property int horizontalPadding: 18
    property int buttonHeight: 38
    property color textColor: Theme.textCardTitle
    property color backgroundColor: area.pressed ? Theme.toolButtonPressed : area.containsMouse ? Theme.toolButtonHoverBackground : Theme.toolButtonBackground
    property color borderColor: area.containsMouse ? Theme.selectBorderHover : Theme.selectBorder
    readonly property bool hovered: area.containsMouse
    readonly property bool pressed: area.pressed

    signal clicked()

    implicitWidth: content.implicitWidth + 2 * horizontalPadding
    implicitHeight: buttonHeight
    width: implicitWidth
    height: buttonHeight
    radius: Theme.radiusLarge
    color: backgroundColor
    border.width: 1
    border.color: borderColor

    Row {
        id: content
        anchors.centerIn: parent
        spacing: 8

        ThemedIcon {
            id: icon
            anchors.verticalCenter: content.verticalCenter
            visible: String(root.iconSource).length > 0
            iconSize: 18
            source: root.iconSource
            color: root.textColor
        }

        Text {
            anchors.verticalCenter: content.verticalCenter
            visible: text.length > 0
            text: root.text
            color: root.textColor
            font.pixelSize: Theme.fontLarge
        }
    }

    MouseArea {
        id: area
        objectName: "toolActionButtonArea"
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: root.clicked()
    }
}
