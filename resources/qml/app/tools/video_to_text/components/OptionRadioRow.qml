// One option row of the video-to-text page: a label, then one radio button per choice; the
// choice equal to currentValue is checked, and a click reports the choice.
import QtQuick 2.14
import "../../../../shared"

Item {
    id: root

    property string label: ""
    property var options: []
    property string currentValue: ""
    property int optionSpacing: 20
    // Where the first radio button begins, so that the rows line up under each other.
    property int choicesX: 84

    signal optionSelected(string value)

    implicitWidth: choicesX + choices.implicitWidth
    height: 34

    Text {
        anchors.verticalCenter: parent.verticalCenter
        text: root.label
        color: Theme.textOption
        font.pixelSize: Theme.fontLarge
    }

    Row {
        id: choices
        x: root.choicesX
        anchors.verticalCenter: parent.verticalCenter
        spacing: root.optionSpacing

        Repeater {
            model: root.options
            delegate: Item {
                readonly property bool checked: String(modelData) === root.currentValue
                objectName: "option:" + modelData
                width: optionText.x + optionText.implicitWidth
                height: 20

                Rectangle {
                    anchors.verticalCenter: parent.verticalCenter
                    width: 14
                    height: 14
                    radius: 7
                    color: Theme.transparent
                    border.color: Theme.radioBorder
                    Rectangle {
                        anchors.centerIn: parent
                        width: 8
                        height: 8
                        radius: 4
                        visible: parent.parent.checked
                        color: Theme.accent
                    }
                }
                Text {
                    id: optionText
                    x: 20
                    anchors.verticalCenter: parent.verticalCenter
                    text: String(modelData)
                    color: Theme.textOption
                    font.pixelSize: Theme.fontLarge
                }
                MouseArea {
                    anchors.fill: parent
                    onClicked: root.optionSelected(String(modelData))
                }
            }
        }
    }
}
