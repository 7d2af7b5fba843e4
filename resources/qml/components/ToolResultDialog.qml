// Result card the tool pages show when a batch, a capture or an export has ended.
import QtQuick 2.14
import "../shared"

Item {
    id: root

    property string titleText: ""
    property string messageText: ""
    property url iconSource: ""
    property string primaryButtonText: Tr.t("common.button.ok")
    property string secondaryButtonText: ""
    property bool secondaryButtonVisible: false

    signal primaryClicked()
    signal secondaryClicked()
    signal closed()

    function closeDialog() {
        if (!visible)
            return
        visible = false
        closed()
    }

    anchors.fill: parent
    z: 1000
    visible: false

    // The dialog is modal: the dimmed layer takes every click, hover and wheel turn, so
    // nothing reaches the page under it.
    Rectangle {
        anchors.fill: parent
        color: Theme.modalScrim

        MouseArea {
            objectName: "resultDialogScrim"
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            hoverEnabled: true
            preventStealing: true
            onWheel: wheel.accepted = true
        }
    }

    Rectangle {
        id: card
        anchors.centerIn: parent
        width: Math.min(420, root.width - 72)
        height: cardContent.implicitHeight + 2 * 20
        radius: Theme.radiusCard
        color: Theme.resultCardBackground
        border.width: 1
        border.color: Theme.buttonPressed

        // Clicks on the card's empty parts stay on the card.
        MouseArea {
            anchors.fill: parent
        }

        Column {
            id: cardContent
            x: 20
            y: 20
            width: card.width - 40
            spacing: 18

            Item {
                width: parent.width
                height: 30

                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width - closeButton.width - 8
                    text: root.titleText
                    color: Theme.textCardTitle
                    font.pixelSize: Theme.fontCardTitle
                    font.bold: true
                    elide: Text.ElideRight
                }

                Rectangle {
                    id: closeButton
                    objectName: "resultDialogClose"
                    anchors.right: parent.right
                    width: 30
                    height: 30
                    radius: Theme.radius
                    color: closeArea.pressed ? Theme.dangerPressed : closeArea.containsMouse ? Theme.danger : "transparent"

                    ThemedIcon {
                        anchors.centerIn: parent
                        iconSize: 14
                        source: "qrc:/assets/icons/window_close.svg"
                        color: closeArea.containsMouse ? Theme.textPrimary : Theme.textLabel
                    }

                    MouseArea {
                        id: closeArea
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: root.closeDialog()
                    }
                }
            }

            Row {
                width: parent.width
                spacing: 12

                Rectangle {
                    width: 34
                    height: 34
                    radius: 17
                    color: Theme.badgeBackground

                    // The status pictures carry their own colours, a green tick or a red mark:
                    // tinted to the text colour both would be one white disc.
                    Image {
                        objectName: "resultDialogIcon"
                        anchors.centerIn: parent
                        width: 18
                        height: 18
                        source: root.iconSource
                        sourceSize.width: 54
                        sourceSize.height: 54
                        fillMode: Image.PreserveAspectFit
                        smooth: true
                        mipmap: true
                    }
                }

                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width - 34 - 12
                    objectName: "resultDialogMessage"
                    // The failure reason may be the server's: shown as text, never as markup.
                    text: root.messageText
                    textFormat: Text.PlainText
                    color: Theme.textBody
                    font.pixelSize: Theme.fontBody
                    wrapMode: Text.Wrap
                }
            }

            Row {
                anchors.right: parent.right
                spacing: 10

                ToolActionButton {
                    objectName: "resultDialogSecondary"
                    visible: root.secondaryButtonVisible
                    width: 90
                    height: 32
                    buttonHeight: 32
                    text: root.secondaryButtonText
                    onClicked: root.secondaryClicked()
                }

                ToolActionButton {
                    objectName: "resultDialogPrimary"
                    width: 86
                    height: 32
                    buttonHeight: 32
                    text: root.primaryButtonText
                    backgroundColor: hovered ? Theme.toolButtonHover : Theme.accent
                    borderColor: Theme.accent
                    onClicked: root.primaryClicked()
                }
            }
        }
    }
}
