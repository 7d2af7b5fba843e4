// The small "last used" tag beside a sign-in method.
import QtQuick 2.14
import "../../../shared"

Rectangle {
    implicitWidth: label.implicitWidth + 10
    implicitHeight: 16
    radius: 8
    color: Theme.loginBadge

    Text {
        id: label
        anchors.centerIn: parent
        text: Tr.t("ui.login.last_login")
        color: Theme.textPrimary
        font.family: Theme.loginFontFamily
        font.pixelSize: Theme.fontTiny
    }
}
