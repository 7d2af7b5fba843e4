// Full-height window button of the title bar with one icon tint and a hover background.
import QtQuick 2.14
import "../../../components"

Rectangle {
    id: button

    property url iconSource: ""
    property real iconSize: 16
    property color hoverColor: "#2B2F36"
    property color iconColor: "#DDE2E8"
    readonly property bool hovered: area.containsMouse

    signal clicked()

    width: 48
    color: area.containsMouse ? hoverColor : "transparent"

    ThemedIcon {
        anchors.centerIn: parent
        iconSize: button.iconSize
        source: button.iconSource
        color: area.containsMouse ? "#FFFFFF" : button.iconColor
    }

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: button.clicked()
    }
}
