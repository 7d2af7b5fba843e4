// Modal menu of the five playback modes, opened under the play-list header.
import QtQuick 2.14
import QtQuick.Controls 2.14
import "../../../components"
import "../PlayerLogic.js" as Logic
import "../../../shared"

Popup {
    id: menu

    property int currentMode: 0

    signal modeChosen(int mode)

    modal: true
    dim: false
    padding: 6
    width: 176
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside | Popup.CloseOnReleaseOutside

    background: Rectangle {
        radius: Theme.radiusLarge
        color: Theme.popupBackground
        border.color: Theme.pressedOverlay
    }

    contentItem: Column {
        spacing: 2
        Repeater {
            model: Logic.playbackModes
            delegate: Rectangle {
                readonly property bool selected: Logic.playbackModeInfo(menu.currentMode).mode === modelData.mode
                objectName: "modeRow_" + modelData.mode
                width: menu.availableWidth
                height: 30
                radius: Theme.radiusSmall
                color: selected ? Theme.accentSelected : (modeArea.containsMouse ? Theme.hoverOverlay : "transparent")

                ThemedIcon {
                    x: 10
                    anchors.verticalCenter: parent.verticalCenter
                    iconSize: 16
                    source: modelData.icon
                    color: parent.selected ? Theme.accent : Theme.textNormal
                }
                Text {
                    x: 34
                    anchors.verticalCenter: parent.verticalCenter
                    text: Tr.t(modelData.textKey)
                    color: parent.selected ? Theme.accent : Theme.textNormal
                    font.pixelSize: Theme.fontSmall
                }
                MouseArea {
                    id: modeArea
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: {
                        menu.modeChosen(modelData.mode)
                        menu.close()
                    }
                }
            }
        }
    }
}
