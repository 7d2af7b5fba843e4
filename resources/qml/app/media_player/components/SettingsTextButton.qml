// Small text button of the playback settings dialog ("-", "+", reset, local file).
import QtQuick 2.14

Rectangle {
    id: root

    property string text: ""
    property int horizontalPadding: 12

    signal clicked()

    implicitWidth: Math.max(32, label.implicitWidth + 2 * horizontalPadding)
    implicitHeight: 32
    radius: 4
    color: area.pressed ? "#3A3A3A" : area.containsMouse ? "#333333" : "#2A2A2A"
    border.color: area.containsMouse ? "#5A5A5A" : "#3C3C3C"

    Text {
        id: label
        anchors.centerIn: parent
        width: Math.min(implicitWidth, root.width - 8)
        text: root.text
        color: "#E6E6E6"
        font.pixelSize: 13
        elide: Text.ElideRight
    }

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: root.clicked()
    }
}
