// Vertical volume slider above the volume button; follows the volume unless it is dragged.
import QtQuick 2.15
import QtQuick.Controls 2.14
import QtQml 2.15
import "../../../shared"

PopupPanel {
    id: popup

    property real volume: 100
    readonly property real shownValue: slider.pressed ? slider.value : volume
    readonly property alias slider: slider

    signal volumeRequested(real value)

    width: 52
    height: 168

    Text {
        objectName: "volumePercent"
        anchors.top: parent.top
        anchors.topMargin: 8
        anchors.horizontalCenter: parent.horizontalCenter
        text: Math.round(popup.shownValue) + "%"
        color: Theme.textSoft
        font.pixelSize: Theme.fontCaption
    }

    Slider {
        id: slider
        objectName: "volumeSlider"
        orientation: Qt.Vertical
        // The Space key stays with the player view after the slider is used.
        focusPolicy: Qt.NoFocus
        from: 0
        to: 100
        stepSize: 0
        anchors.top: parent.top
        anchors.topMargin: 28
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 10
        anchors.horizontalCenter: parent.horizontalCenter
        width: 24
        onMoved: popup.volumeRequested(value)

        Binding {
            target: slider
            property: "value"
            value: popup.volume
            when: !slider.pressed
            restoreMode: Binding.RestoreNone
        }

        background: Rectangle {
            x: (slider.width - width) / 2
            y: slider.topPadding
            width: 4
            height: slider.availableHeight
            radius: Theme.radiusTiny
            color: Theme.volumeTrack
            Rectangle {
                width: parent.width
                radius: Theme.radiusTiny
                anchors.bottom: parent.bottom
                height: (1 - slider.visualPosition) * parent.height
                color: Theme.accent
            }
        }
        handle: Rectangle {
            x: (slider.width - width) / 2
            y: slider.topPadding + slider.visualPosition * (slider.availableHeight - height)
            width: 12
            height: 12
            radius: Theme.radius
            color: Theme.textPrimary
        }
    }
}
