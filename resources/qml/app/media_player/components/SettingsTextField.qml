// Text field in the dark look of the playback settings dialog.
import QtQuick 2.14
import QtQuick.Controls 2.14
import "../../../shared"

TextField {
    id: control

    implicitHeight: 32
    font.pixelSize: Theme.fontBody
    color: Theme.textField
    placeholderTextColor: Theme.textPlaceholder
    selectByMouse: true
    leftPadding: 8
    rightPadding: 8

    background: Rectangle {
        radius: Theme.radiusSmall
        color: Theme.fieldBackground
        border.color: control.activeFocus ? Theme.accent : Theme.controlBorder
    }
}
