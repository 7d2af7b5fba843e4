// One input row of the SMS view: icon, text, clear button, and the red error line under it.
import QtQuick 2.14
import "../../../shared"

Item {
    id: field

    property url iconSource: ""
    property string placeholderText: ""
    property string errorText: ""
    property alias text: input.text
    property alias input: input
    property alias validator: input.validator
    property alias maximumLength: input.maximumLength
    property alias inputMethodHints: input.inputMethodHints
    // Room kept on the right for what the view puts there (captcha picture, SMS action).
    property int trailingWidth: 0
    default property alias trailing: trailingBox.data

    implicitWidth: 296
    implicitHeight: 40 + (errorLine.visible ? errorLine.implicitHeight + 4 : 0)

    Rectangle {
        id: box
        width: parent.width
        height: 40
        radius: Theme.radiusLarge
        color: Theme.loginFieldBackground
        border.color: input.activeFocus ? Theme.loginFieldBorderFocus
                                        : (field.errorText.length > 0 ? Theme.loginError : Theme.loginFieldBorder)

        Image {
            id: icon
            x: 12
            anchors.verticalCenter: parent.verticalCenter
            width: 18
            height: 18
            sourceSize.width: 36
            sourceSize.height: 36
            source: field.iconSource
        }

        TextInput {
            id: input
            anchors.left: icon.right
            anchors.leftMargin: 8
            anchors.right: clearButton.visible ? clearButton.left : trailingBox.left
            anchors.rightMargin: 6
            anchors.verticalCenter: parent.verticalCenter
            clip: true
            selectByMouse: true
            color: Theme.loginTextPrimary
            selectionColor: Theme.accent
            font.family: Theme.loginFontFamily
            font.pixelSize: Theme.fontLarge

            Text {
                anchors.fill: parent
                verticalAlignment: Text.AlignVCenter
                visible: input.text.length === 0 && !input.inputMethodComposing
                text: field.placeholderText
                color: Theme.loginTextSecondary
                font: input.font
            }
        }

        Image {
            id: clearButton
            objectName: "clearButton"
            anchors.right: trailingBox.left
            anchors.rightMargin: 6
            anchors.verticalCenter: parent.verticalCenter
            visible: input.text.length > 0
            width: 16
            height: 16
            sourceSize.width: 32
            sourceSize.height: 32
            source: "qrc:/assets/login/btn_clear.svg"
            MouseArea {
                anchors.fill: parent
                anchors.margins: -4
                cursorShape: Qt.PointingHandCursor
                onClicked: {
                    input.text = ""
                    input.forceActiveFocus()
                }
            }
        }

        Item {
            id: trailingBox
            anchors.right: parent.right
            anchors.rightMargin: field.trailingWidth > 0 ? 4 : 8
            anchors.verticalCenter: parent.verticalCenter
            width: field.trailingWidth
            height: parent.height - 8
        }
    }

    Text {
        id: errorLine
        objectName: "errorLine"
        anchors.top: box.bottom
        anchors.topMargin: 4
        x: 4
        width: parent.width - 8
        visible: field.errorText.length > 0
        // Failures carry the server's message: shown as text, never as markup.
        text: field.errorText
        textFormat: Text.PlainText
        color: Theme.loginError
        elide: Text.ElideRight
        font.family: Theme.loginFontFamily
        font.pixelSize: Theme.fontSmall
    }
}
