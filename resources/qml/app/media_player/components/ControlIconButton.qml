// Square icon button of the player controls, with its hover tip and a highlighted state.
import QtQuick 2.14
import "../../../components"
import "../../../shared"

Item {
    id: button

    property url iconSource: ""
    property real iconSize: 20
    property string toolTipText: ""
    property Item toolTipHost: null
    property bool highlighted: false
    property color iconColor: Theme.textSoft
    property color hoverIconColor: Theme.textPrimary
    property color highlightColor: Theme.accent
    readonly property bool hovered: area.containsMouse
    readonly property alias pressed: area.pressed

    signal clicked()

    implicitWidth: 36
    implicitHeight: 36

    Rectangle {
        anchors.fill: parent
        radius: Theme.radius
        color: area.pressed ? Theme.pressedOverlay : (area.containsMouse ? Theme.hoverOverlay : "transparent")
    }

    ThemedIcon {
        anchors.centerIn: parent
        iconSize: button.iconSize
        source: button.iconSource
        color: button.highlighted ? button.highlightColor
                                  : (area.containsMouse ? button.hoverIconColor : button.iconColor)
    }

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: button.clicked()
    }

    HoverToolTip {
        host: button.toolTipHost ? button.toolTipHost : button.parent
        target: area
        text: button.toolTipText
    }
}
