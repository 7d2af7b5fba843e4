// The settings drop-down: default player (a remembered tick box), desktop shortcut, online
// service and about. It stores the tick and emits requests; the page does the work.
import QtQuick 2.14
import Qt.labs.settings 1.0
import "../../../components"
import "../../../shared"

Rectangle {
    id: menu

    readonly property bool pointerInside: hoverArea.containsMouse
    readonly property bool defaultPlayerEnabled: menuSettings.defaultPlayerEnabled
    readonly property string iconFolder: "qrc:/assets/icons/settings_menu/"
    readonly property var items: [
        { actionKey: "defaultPlayer", titleKey: "ui.text.settings.set_default_player", checkable: true },
        { actionKey: "desktopShortcut", titleKey: "ui.text.settings.add_desktop_shortcut", checkable: false,
          icon: "settings_add_shortcut.svg" },
        { actionKey: "onlineService", titleKey: "ui.text.support.online", checkable: false,
          icon: "settings_online_service.svg" },
        { actionKey: "about", titleKey: "ui.text.about.title", checkable: false, icon: "settings_about.svg" }
    ]

    signal defaultPlayerRequested(bool enabled)
    signal addDesktopShortcutRequested()
    signal onlineServiceRequested()
    signal aboutRequested()

    // Written through at once: the settings object would otherwise store it only later, after
    // the registration it announces has already run.
    function setDefaultPlayerEnabled(enabled) {
        var value = enabled === true
        menuSettings.defaultPlayerEnabled = value
        menuSettings.setValue("defaultPlayerEnabled", value)
        menuSettings.sync()
    }

    function triggerAction(actionKey) {
        switch (actionKey) {
        case "defaultPlayer":
            var enabled = !menuSettings.defaultPlayerEnabled
            // Stored before anyone hears of it, so the tick stays as clicked whatever follows.
            setDefaultPlayerEnabled(enabled)
            defaultPlayerRequested(enabled)
            break
        case "desktopShortcut":
            addDesktopShortcutRequested()
            break
        case "onlineService":
            onlineServiceRequested()
            break
        case "about":
            aboutRequested()
            break
        }
    }

    function iconFor(entry) {
        if (entry.checkable)
            return iconFolder + (defaultPlayerEnabled ? "settings_default_player_checked.svg"
                                                      : "settings_default_player.svg")
        return iconFolder + entry.icon
    }

    width: 176
    height: column.height + 12
    radius: Theme.radiusLarge
    color: Theme.popupBackground
    border.color: Theme.pressedOverlay

    Settings {
        id: menuSettings
        fileName: String(Guard.object("appSettingsMenuSettingsFilePath") || "")
        category: "AppSettingsMenu"
        property bool defaultPlayerEnabled: false
    }

    MouseArea {
        id: hoverArea
        anchors.fill: parent
        hoverEnabled: true

        Column {
            id: column
            x: 6
            y: 6
            width: parent.width - 12
            spacing: 3

            Repeater {
                model: menu.items
                delegate: Rectangle {
                    objectName: "menuItem_" + modelData.actionKey
                    width: column.width
                    height: 30
                    radius: Theme.radiusSmall
                    color: itemArea.containsMouse ? Theme.menuItemHover : "transparent"

                    ThemedIcon {
                        x: 10
                        anchors.verticalCenter: parent.verticalCenter
                        iconSize: 14
                        source: menu.iconFor(modelData)
                        color: modelData.checkable && menu.defaultPlayerEnabled ? Theme.accent : Theme.textNormal
                    }
                    Text {
                        x: 32
                        anchors.verticalCenter: parent.verticalCenter
                        text: Tr.t(modelData.titleKey)
                        color: Theme.textNormal
                        font.pixelSize: Theme.fontSmall
                    }
                    MouseArea {
                        id: itemArea
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: menu.triggerAction(modelData.actionKey)
                    }
                }
            }
        }
    }
}
