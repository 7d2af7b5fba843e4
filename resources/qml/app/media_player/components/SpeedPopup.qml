// One row per playback speed; the row matching the current speed is highlighted.
import QtQuick 2.14
import "../PlayerLogic.js" as Logic
import "../../../shared"

PopupPanel {
    id: popup

    property var options: Logic.playbackSpeedOptions
    property real playbackSpeed: 1.0

    signal speedChosen(real value)

    width: 76
    height: column.height + 12

    Column {
        id: column
        x: 6
        y: 6
        width: parent.width - 12

        Repeater {
            model: popup.options
            delegate: Rectangle {
                readonly property bool selected: Logic.speedMatches(modelData, popup.playbackSpeed)
                objectName: "speedRow_" + index
                width: column.width
                height: 28
                radius: Theme.radiusSmall
                color: rowArea.containsMouse ? Theme.menuItemHover : "transparent"

                Text {
                    anchors.centerIn: parent
                    text: Logic.speedText(modelData)
                    color: parent.selected ? Theme.accent : Theme.textSoft
                    font.pixelSize: Theme.fontSmall
                    font.bold: parent.selected
                }
                MouseArea {
                    id: rowArea
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: popup.speedChosen(modelData)
                }
            }
        }
    }
}
