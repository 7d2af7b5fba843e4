// Text field in the dark look of the playback settings dialog.
import QtQuick 2.14
import QtQuick.Controls 2.14

TextField {
    id: control

    implicitHeight: 32
    font.pixelSize: 13
    color: "#E6E6E6"
    placeholderTextColor: "#707070"
    selectByMouse: true
    leftPadding: 8
    rightPadding: 8

    background: Rectangle {
        radius: 4
        color: "#1E1E1E"
        border.color: control.activeFocus ? "#3D8BFF" : "#3C3C3C"
    }
}
