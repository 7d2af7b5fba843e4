// Rounded dark box of the control bar's pop-ups; reports when the pointer leaves it.
import QtQuick 2.14
import "../../../shared"

Rectangle {
    id: panel

    readonly property bool pointerInside: hoverArea.containsMouse
    // Content goes inside the hover area so that hovering it still counts as inside.
    default property alias content: hoverArea.data
    signal pointerLeft()

    radius: Theme.radiusLarge
    color: Theme.popupBackground
    border.color: Theme.pressedOverlay
    border.width: 1

    MouseArea {
        id: hoverArea
        anchors.fill: parent
        hoverEnabled: true
        // Swallows clicks so they do not reach the bar's click catcher below.
        acceptedButtons: Qt.LeftButton
        onExited: Qt.callLater(panel.pointerLeft)
    }
}
