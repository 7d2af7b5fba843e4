// The seek bar with elapsed and total time; it seeks only when released.
import QtQuick 2.15
import QtQuick.Controls 2.14
import "../PlayerLogic.js" as Logic
import QtQml 2.15
import "../../../shared"

Item {
    id: bar

    property real position: 0
    property real duration: 0
    property bool active: false
    property bool showStartTime: false
    property bool showEndTime: false
    property real endSnapThresholdSeconds: 0.0
    readonly property alias slider: slider
    readonly property string startTimeText: Logic.formatTime(slider.pressed ? slider.value : position)
    readonly property string endTimeText: Logic.formatTime(duration)

    signal seekRequested(real seconds)

    // Called on release; kept apart so that a release at any value goes through one rule.
    function releaseAt(value) {
        if (duration > 0)
            seekRequested(value)
    }

    height: active ? 14 : 0
    visible: active

    Rectangle {
        anchors.fill: parent
        color: Theme.controlBarBackground
    }

    Text {
        id: startLabel
        objectName: "startTimeLabel"
        anchors.left: parent.left
        anchors.leftMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        visible: bar.showStartTime
        text: bar.startTimeText
        color: Theme.textMuted
        font.pixelSize: Theme.fontToolTip
    }

    Text {
        id: endLabel
        objectName: "endTimeLabel"
        anchors.right: parent.right
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        visible: bar.showEndTime
        text: bar.endTimeText
        color: Theme.textMuted
        font.pixelSize: Theme.fontToolTip
    }

    Slider {
        id: slider
        objectName: "seekSlider"
        anchors.left: startLabel.visible ? startLabel.right : parent.left
        anchors.leftMargin: 10
        anchors.right: endLabel.visible ? endLabel.left : parent.right
        anchors.rightMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        height: 14
        // The Space key stays with the player view after the slider is used.
        focusPolicy: Qt.NoFocus
        from: 0
        to: Math.max(bar.duration, 0.001)
        live: true
        padding: 0
        onPressedChanged: {
            if (!pressed)
                bar.releaseAt(value)
        }

        Binding {
            target: slider
            property: "value"
            value: Logic.progressValue(bar.position, bar.duration, bar.endSnapThresholdSeconds)
            when: !slider.pressed
            restoreMode: Binding.RestoreNone
        }

        background: Rectangle {
            y: (slider.height - height) / 2
            width: slider.availableWidth
            height: slider.hovered || slider.pressed ? 4 : 3
            radius: Theme.radiusTiny
            color: Theme.trackOverlay
            Rectangle {
                width: slider.visualPosition * parent.width
                height: parent.height
                radius: Theme.radiusTiny
                color: Theme.accent
            }
        }
        handle: Rectangle {
            x: slider.visualPosition * (slider.availableWidth - width)
            y: (slider.height - height) / 2
            width: 10
            height: 10
            radius: 5
            color: Theme.textPrimary
            visible: slider.hovered || slider.pressed
        }
    }
}
