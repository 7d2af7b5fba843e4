// The about overlay: a dimmed layer with a card of logo, name, version and copyright.
import QtQuick 2.14
import "../../../components"
import "../../../shared"

Rectangle {
    id: overlay

    property string productTitle: Qt.application.name
    property string versionText: ""
    property string companyName: ""
    readonly property alias card: card

    signal closeRequested()

    color: Theme.dialogScrim

    // A click on the dim layer outside the card closes it.
    MouseArea {
        anchors.fill: parent
        onClicked: overlay.closeRequested()
    }

    Rectangle {
        id: card
        objectName: "aboutCard"
        width: 420
        height: 280
        anchors.centerIn: parent
        radius: 12
        color: Theme.cardBackground
        border.color: Theme.pressedOverlay

        // Clicks on the card are absorbed.
        MouseArea {
            anchors.fill: parent
        }

        Column {
            anchors.horizontalCenter: parent.horizontalCenter
            y: 36
            width: parent.width - 60
            spacing: 10

            Image {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 74
                height: 74
                source: "qrc:/assets/logo.png"
                sourceSize.width: 148
                sourceSize.height: 148
                smooth: true
            }
            Text {
                objectName: "aboutProductTitle"
                anchors.horizontalCenter: parent.horizontalCenter
                text: overlay.productTitle
                color: Theme.textStrong
                font.pixelSize: Theme.fontHeading
                font.bold: true
            }
            Text {
                objectName: "aboutVersion"
                anchors.horizontalCenter: parent.horizontalCenter
                text: Tr.t("ui.text.about.version_with_arg").replace("%1", overlay.versionText)
                color: Theme.textAboutSecondary
                font.pixelSize: Theme.fontSmall
            }
            Item { width: 1; height: 6 }
            Text {
                objectName: "aboutCopyright"
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                text: Tr.t("ui.text.about.copyright_with_arg").replace("%1", overlay.companyName)
                color: Theme.textFaint
                font.pixelSize: Theme.fontCaption
            }
        }

        TitleBarButton {
            objectName: "aboutCloseButton"
            anchors.top: parent.top
            anchors.right: parent.right
            anchors.topMargin: 4
            anchors.rightMargin: 4
            width: 48
            height: 34
            radius: Theme.radius
            hoverColor: Theme.closeHover
            iconSource: "qrc:/assets/icons/window_close.svg"
            iconSize: 14
            onClicked: overlay.closeRequested()
        }
    }
}
