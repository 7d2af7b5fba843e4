// A time text field with its set-current-time button, for the to-image parameter panel.
import QtQuick 2.14
import QtQuick.Controls 2.14
import "../../../components"
import "../../../shared"

Row {
    id: field

    property alias text: input.text
    readonly property bool activeFocusInside: input.activeFocus

    signal editingFinished()
    signal setCurrentRequested()

    spacing: 4
    height: 32

    TextField {
        id: input
        objectName: field.objectName + "_input"
        width: 110
        height: field.height
        color: Theme.textField
        font.pixelSize: Theme.fontBody
        horizontalAlignment: Text.AlignHCenter
        selectByMouse: true
        background: Rectangle { color: Theme.fieldBackground; border.color: Theme.controlBorder; radius: Theme.radiusSmall }
        onEditingFinished: field.editingFinished()
    }

    Rectangle {
        width: field.height
        height: field.height
        radius: Theme.radiusSmall
        color: setArea.containsMouse ? Theme.buttonHover : Theme.buttonBackground
        ThemedIcon {
            anchors.centerIn: parent
            width: 14
            height: 14
            source: "qrc:/assets/icons/set_current_time.svg"
        }
        MouseArea {
            id: setArea
            anchors.fill: parent
            hoverEnabled: true
            onClicked: field.setCurrentRequested()
        }
    }
}
