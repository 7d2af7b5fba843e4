// The toolbox entries of the tool registry, one row each with icon and title.
import QtQuick 2.14
import "../../../components"
import "../../../shared"

PopupPanel {
    id: popup

    property var entries: []

    signal entryChosen(string toolId, bool enabled)

    width: 168
    height: column.height + 12

    Column {
        id: column
        x: 6
        y: 6
        width: parent.width - 12

        Repeater {
            model: popup.entries
            delegate: Rectangle {
                objectName: "toolboxRow_" + modelData.toolId
                width: column.width
                height: 32
                radius: Theme.radiusSmall
                opacity: modelData.enabled ? 1 : 0.45
                color: rowArea.containsMouse && modelData.enabled ? Theme.menuItemHover : "transparent"

                ThemedIcon {
                    x: 10
                    anchors.verticalCenter: parent.verticalCenter
                    iconSize: 16
                    source: modelData.icon
                    color: Theme.textSoft
                }
                Text {
                    x: 34
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width - 40
                    elide: Text.ElideRight
                    text: Tr.t(modelData.titleKey)
                    color: Theme.textSoft
                    font.pixelSize: Theme.fontSmall
                }
                MouseArea {
                    id: rowArea
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: popup.entryChosen(modelData.toolId, modelData.enabled === true)
                }
            }
        }
    }
}
