// Small text button of the playback settings dialog ("-", "+", reset, local file).
import QtQuick 2.14
import "../../../shared"

Rectangle {
    id: root

    property string text: ""
    property int horizontalPadding: 12

    signal clicked()

    implicitWidth: Math.max(32, label.implicitWidth + 2 * horizontalPadding)
    implicitHeight: 32
    radius: Theme.radiusSmall
    color: area.pressed ? Theme.buttonPressed : area.containsMouse ? Theme.dialogBorder : Theme.buttonBackground
    border.color: area.containsMouse ? Theme.controlBorderHover : Theme.controlBorder

    Text {
        id: label
        anchors.centerIn: parent
        width: Math.min(implicitWidth, root.width - 8)
        text: root.text
        color: Theme.textField
        font.pixelSize: Theme.fontBody
        elide: Text.ElideRight
    }

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: root.clicked()
    }
}
