// One-line status toast: a new message replaces the old one and restarts the time-out.
import QtQuick 2.14
import "../../../shared"

Rectangle {
    id: toast

    property string text: ""
    property int timeoutMs: 2600
    property real maximumWidth: 400

    signal shown(string message)

    function show(message) {
        var value = message === undefined || message === null ? "" : String(message)
        if (value.length === 0)
            return
        text = value
        hideTimer.restart()
        shown(value)
    }

    function clear() {
        hideTimer.stop()
        text = ""
    }

    width: Math.min(label.implicitWidth + 40, maximumWidth)
    height: 44
    radius: Theme.radiusLarge
    color: Theme.toastBackground
    border.color: Theme.pressedOverlay
    visible: opacity > 0
    opacity: text.length > 0 ? 1 : 0

    Behavior on opacity {
        enabled: toast.text.length > 0
        NumberAnimation { duration: 160 }
    }

    Text {
        id: label
        objectName: "toastText"
        anchors.centerIn: parent
        width: Math.min(implicitWidth, toast.maximumWidth - 40)
        elide: Text.ElideRight
        // Messages may be the server's: shown as text, never as markup.
        text: toast.text
        textFormat: Text.PlainText
        color: Theme.textStrong
        font.pixelSize: Theme.fontBody
    }

    Timer {
        id: hideTimer
        interval: toast.timeoutMs
        repeat: false
        onTriggered: toast.text = ""
    }
}
