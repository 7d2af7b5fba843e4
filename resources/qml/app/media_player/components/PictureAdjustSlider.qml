// One picture equaliser slider (-100..100) whose value reaches the engine only after the
// pointer has rested for the debounce interval, so a drag costs one setter call.
import QtQuick 2.14
import "../../../shared"

Item {
    id: root

    property string label: ""
    // The engine's value; the slider follows it except while the user moves it.
    property int engineValue: 0
    property int debounceMs: 220
    readonly property alias value: slider.value
    readonly property alias pending: debounceTimer.running
    readonly property alias slider: slider

    // The slider's value taken to the nearest integer, once the debounce interval has passed.
    signal commitRequested(int value)

    function followEngine() {
        slider.value = Qt.binding(function () { return root.engineValue })
    }

    // Forgets a movement that has not reached the engine yet (used by the page's reset).
    function cancelPending() {
        debounceTimer.stop()
    }

    implicitHeight: 48

    Text {
        id: caption
        width: parent.width - valueText.width
        text: root.label
        color: Theme.textLabel
        font.pixelSize: Theme.fontBody
        elide: Text.ElideRight
    }

    Text {
        id: valueText
        anchors.right: parent.right
        width: 36
        horizontalAlignment: Text.AlignRight
        text: Math.round(slider.value)
        color: Theme.textScale
        font.pixelSize: Theme.fontSmall
    }

    SettingsSlider {
        id: slider
        objectName: "pictureSlider"
        anchors.top: caption.bottom
        anchors.topMargin: 6
        width: parent.width
        from: -100
        to: 100
        stepSize: 1
        snapMode: SettingsSlider.SnapAlways
        value: root.engineValue
        onMoved: debounceTimer.restart()
    }

    Timer {
        id: debounceTimer
        interval: root.debounceMs
        repeat: false
        onTriggered: {
            root.commitRequested(Math.round(slider.value))
            // A refused value must not stay on screen: show the engine's value again.
            root.followEngine()
        }
    }
}
