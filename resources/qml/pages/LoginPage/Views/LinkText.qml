// A clickable line of text in the dialog.
import QtQuick 2.14
import "../../../shared"

Text {
    id: link

    signal clicked()

    color: area.containsMouse ? Theme.accentHover : Theme.accent
    font.family: Theme.loginFontFamily
    font.pixelSize: Theme.fontSmall
    font.underline: area.containsMouse

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: link.clicked()
    }
}
