// Full-height window button of the title bar with one icon tint and a hover background.
import QtQuick 2.14
import "../../../components"
import "../../../shared"

Rectangle {
    id: button

    property url iconSource: ""
    property real iconSize: 16
    property color hoverColor: Theme.titleButtonHover
    property color iconColor: Theme.textNormal
    readonly property bool hovered: area.containsMouse

    signal clicked()

    width: 48
    color: area.containsMouse ? hoverColor : "transparent"

    ThemedIcon {
        anchors.centerIn: parent
        iconSize: button.iconSize
        source: button.iconSource
        color: area.containsMouse ? Theme.textPrimary : button.iconColor
    }

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: button.clicked()
    }
}
