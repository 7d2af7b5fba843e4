// Horizontal slider in the dark look of the playback settings dialog.
import QtQuick 2.14
import QtQuick.Controls 2.14
import "../../../shared"

Slider {
    id: control

    property color accentColor: Theme.accent

    implicitHeight: 24
    leftPadding: 0
    rightPadding: 0

    background: Rectangle {
        x: control.leftPadding
        y: control.topPadding + (control.availableHeight - height) / 2
        width: control.availableWidth
        height: 4
        radius: Theme.radiusTiny
        color: Theme.buttonPressed

        Rectangle {
            width: control.visualPosition * parent.width
            height: parent.height
            radius: Theme.radiusTiny
            color: control.enabled ? control.accentColor : Theme.controlBorderHover
        }
    }

    handle: Rectangle {
        x: control.leftPadding + control.visualPosition * (control.availableWidth - width)
        y: control.topPadding + (control.availableHeight - height) / 2
        width: 14
        height: 14
        radius: 7
        color: control.pressed ? Theme.sliderHandlePressed : Theme.textPrimary
        border.color: control.accentColor
        border.width: 2
    }
}
