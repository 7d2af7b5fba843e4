// The tab at the right edge of the player area that opens and closes the play-list panel.
import QtQuick 2.14
import "../../../components"
import "../../../shared"

Rectangle {
    id: tab

    property bool collapsed: true

    signal toggled()

    width: 26
    height: 88
    radius: Theme.radius
    color: area.containsMouse ? Theme.toggleTabHover : Theme.toggleTabBackground
    border.color: Theme.menuItemHover

    ThemedIcon {
        anchors.centerIn: parent
        iconSize: 16
        source: tab.collapsed ? "qrc:/assets/icons/playlist_toggle_expand.svg"
                              : "qrc:/assets/icons/playlist_toggle_collapse.svg"
        color: area.containsMouse ? Theme.textPrimary : Theme.textMuted
    }

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: tab.toggled()
    }
}
