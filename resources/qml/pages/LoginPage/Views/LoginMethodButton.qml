// A round sign-in method under "other methods", with its last-used tag.
import QtQuick 2.14
import "../../../shared"

Item {
    id: button

    property url iconSource: ""
    property string label: ""
    property bool lastUsed: false

    signal clicked()

    implicitWidth: 72
    implicitHeight: 64

    Image {
        id: icon
        anchors.horizontalCenter: parent.horizontalCenter
        width: 40
        height: 40
        sourceSize.width: 80
        sourceSize.height: 80
        source: button.iconSource
        opacity: area.pressed ? 0.7 : 1
    }

    Text {
        anchors.top: icon.bottom
        anchors.topMargin: 4
        anchors.horizontalCenter: parent.horizontalCenter
        text: button.label
        color: area.containsMouse ? Theme.loginTextPrimary : Theme.loginTextSecondary
        font.family: Theme.loginFontFamily
        font.pixelSize: Theme.fontSmall
    }

    LastLoginBadge {
        objectName: "lastLoginBadge"
        visible: button.lastUsed
        x: icon.x + icon.width - 12
        y: -6
    }

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: button.clicked()
    }
}
