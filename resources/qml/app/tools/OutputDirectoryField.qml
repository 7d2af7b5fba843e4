// The output-folder row of the batch tool pages: the shown folder, an edit button that picks a
// new one and a button that opens it in the file browser.
import QtQuick 2.14
import "../../components"
import "../../shared"

Row {
    id: root

    property string folder: ""
    property int fieldWidth: 260
    property string labelKey: "tool.common.label.output_directory"
    // 0: as wide as the label's text.
    property int labelWidth: 0
    property int labelPixelSize: Theme.fontSmall
    property color labelColor: Theme.textLabel

    signal editRequested()
    signal openRequested()

    spacing: 8

    Text {
        anchors.verticalCenter: parent.verticalCenter
        width: root.labelWidth > 0 ? root.labelWidth : implicitWidth
        text: Tr.t(root.labelKey)
        color: root.labelColor
        font.pixelSize: root.labelPixelSize
    }
    Rectangle {
        width: root.fieldWidth
        height: 34
        radius: Theme.radiusSmall
        color: Theme.fieldBackground
        border.color: Theme.selectBorder

        TextInput {
            objectName: "outputDirectoryText"
            anchors.left: parent.left
            anchors.right: editIcon.left
            anchors.verticalCenter: parent.verticalCenter
            anchors.leftMargin: 10
            anchors.rightMargin: 6
            readOnly: true
            selectByMouse: true
            clip: true
            text: root.folder
            color: Theme.textField
            font.pixelSize: Theme.fontSmall
        }
        ThemedIcon {
            id: editIcon
            anchors.right: parent.right
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            width: 16
            height: 16
            source: "qrc:/assets/icons/output_dir_edit.svg"
            color: editArea.containsMouse ? Theme.textPrimary : Theme.iconMuted
            MouseArea {
                id: editArea
                anchors.fill: parent
                anchors.margins: -6
                hoverEnabled: true
                onClicked: root.editRequested()
            }
        }
    }
    ThemedIcon {
        anchors.verticalCenter: parent.verticalCenter
        width: 20
        height: 20
        source: "qrc:/assets/icons/tool_folder.svg"
        color: openArea.containsMouse ? Theme.textPrimary : Theme.iconMuted
        MouseArea {
            id: openArea
            anchors.fill: parent
            anchors.margins: -6
            hoverEnabled: true
            onClicked: root.openRequested()
        }
    }
}
