// What the player area shows while nothing is loaded: an icon, the open button and a hint.
import QtQuick 2.14
import "../../../components"
import "../../../shared"

Rectangle {
    id: placeholder

    signal openFileRequested()

    color: Theme.placeholderBackground

    Column {
        anchors.centerIn: parent
        spacing: 18

        ThemedIcon {
            anchors.horizontalCenter: parent.horizontalCenter
            iconSize: 72
            source: "qrc:/assets/icons/player_placeholder.svg"
            color: Theme.placeholderIcon
        }

        Rectangle {
            id: openButton
            objectName: "openFileButton"
            anchors.horizontalCenter: parent.horizontalCenter
            width: Math.max(148, openLabel.implicitWidth + 64)
            height: 40
            radius: 20
            color: openArea.pressed ? Theme.accentPressed : (openArea.containsMouse ? Theme.accentHover : Theme.accent)

            Row {
                anchors.centerIn: parent
                spacing: 8
                ThemedIcon {
                    anchors.verticalCenter: parent.verticalCenter
                    iconSize: 16
                    source: "qrc:/assets/icons/playlist_add.svg"
                    color: Theme.textPrimary
                }
                Text {
                    id: openLabel
                    anchors.verticalCenter: parent.verticalCenter
                    text: Tr.t("ui.text.file.open")
                    color: Theme.textPrimary
                    font.pixelSize: Theme.fontLarge
                }
            }

            MouseArea {
                id: openArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: placeholder.openFileRequested()
            }
        }

        Text {
            objectName: "placeholderHint"
            anchors.horizontalCenter: parent.horizontalCenter
            text: Tr.t("ui.text.placeholder.open_or_drag")
            color: Theme.textFaint
            font.pixelSize: Theme.fontSmall
        }
    }
}
