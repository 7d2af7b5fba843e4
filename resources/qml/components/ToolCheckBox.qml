// Check box of the tool pages (and the playback settings): a click anywhere flips it.
import QtQuick 2.14
import "../shared"

Item {
    id: root

    property bool checked: false
    property string text: ""

    signal toggled(bool checked)

    implicitWidth: box.width + (label.text.length > 0 ? 8 + label.implicitWidth : 0)
    implicitHeight: Math.max(box.height, label.implicitHeight)

    Rectangle {
        id: box
        anchors.verticalCenter: parent.verticalCenter
        width: 16
        height: 16
        radius: Theme.radiusSmaller
        color: root.checked ? Theme.accent : "transparent"
        border.width: 1
        border.color: root.checked ? Theme.accent : area.containsMouse ? Theme.checkBorderHover : Theme.checkBorder

        Text {
            anchors.centerIn: parent
            visible: root.checked
            text: "\u2713"
            color: Theme.textPrimary
            font.pixelSize: Theme.fontSmall
        }
    }

    Text {
        id: label
        anchors.left: box.right
        anchors.leftMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        text: root.text
        color: Theme.textBody
        font.pixelSize: Theme.fontBody
    }

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: {
            root.checked = !root.checked
            root.toggled(root.checked)
        }
    }
}
