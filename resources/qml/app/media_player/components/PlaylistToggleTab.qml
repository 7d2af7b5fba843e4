// The tab at the right edge of the player area that opens and closes the play-list panel.
import QtQuick 2.14
import "../../../components"

Rectangle {
    id: tab

    property bool collapsed: true

    signal toggled()

    width: 26
    height: 88
    radius: 6
    color: area.containsMouse ? "#E62B2F36" : "#CC1C1E22"
    border.color: "#26FFFFFF"

    ThemedIcon {
        anchors.centerIn: parent
        iconSize: 16
        source: tab.collapsed ? "qrc:/assets/icons/playlist_toggle_expand.svg"
                              : "qrc:/assets/icons/playlist_toggle_collapse.svg"
        color: area.containsMouse ? "#FFFFFF" : "#C8CDD4"
    }

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: tab.toggled()
    }
}
