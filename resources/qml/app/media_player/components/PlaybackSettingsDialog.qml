// Playback settings window of the main player: a title bar, a side menu and four pages (speed,
// picture, audio, subtitles) that write straight into the player's engine; subtitle track
// choices and files go through the host.
import QtQuick 2.14
import QtQuick.Window 2.14
import QtQuick.Controls 2.14
import "../../../components"
import "../../../shared"

Window {
    id: dialog

    property var playerEngine: null
    property var audioTrackOptions: []
    property var subtitleTrackOptions: []
    property var ownerWindow: null

    property int currentMenuIndex: 0
    property int delayAdjustStepMs: 100
    property int videoAdjustDebounceMs: 220

    // Title-bar drag origin: global pointer and window position at the press.
    property point dragStartGlobal: Qt.point(0, 0)
    property point dragStartWindow: Qt.point(0, 0)

    signal primarySubtitleFileRequested()
    signal secondarySubtitleFileRequested()
    signal primarySubtitleTrackSelectionRequested(int trackId)
    signal secondarySubtitleTrackSelectionRequested(int trackId)

    flags: Qt.Tool | Qt.FramelessWindowHint
    modality: Qt.ApplicationModal
    width: 620
    height: 420
    minimumWidth: 620
    minimumHeight: 420
    maximumWidth: 620
    maximumHeight: 420
    visible: false
    color: Theme.dialogBackground
    title: Tr.t("ui.text.video.display_settings")

    // Whether this libmpv has the mpv property a row needs; an engine that cannot tell is
    // taken at its word.
    function engineSupports(mpvProperty) {
        return Guard.optionalCall(playerEngine, "supportsProperty", [mpvProperty], true) === true
    }

    function syncFields() {
        playbackPage.syncFields()
        audioPage.syncFields()
        subtitlePage.syncFields()
    }

    function showWindow() {
        syncFields()
        var owner = ownerWindow
        if (owner && owner.width !== undefined && owner.height !== undefined) {
            x = owner.x + Math.round((owner.width - width) / 2)
            y = owner.y + Math.round((owner.height - height) / 2)
        }
        visible = true
        requestActivate()
    }

    function resetPlaybackPage() { playbackPage.reset() }
    function resetVideoPage() { videoPage.reset() }
    function resetAudioPage() { audioPage.reset() }
    function resetSubtitlePage() { subtitlePage.reset() }

    Item {
        id: content
        anchors.fill: parent

        Rectangle {
            anchors.fill: parent
            color: "transparent"
            border.color: Theme.dialogBorder
            z: 10
        }

        // Title bar: caption, close button, and dragging the window by hand.
        Rectangle {
            id: titleBar
            width: parent.width
            height: 42
            color: Theme.dialogTitleBar

            MouseArea {
                anchors.fill: parent
                acceptedButtons: Qt.LeftButton
                onPressed: {
                    var point = mapToGlobal(mouse.x, mouse.y)
                    dialog.dragStartGlobal = Qt.point(point.x, point.y)
                    dialog.dragStartWindow = Qt.point(dialog.x, dialog.y)
                }
                onPositionChanged: {
                    if (!pressed)
                        return
                    var point = mapToGlobal(mouse.x, mouse.y)
                    dialog.x = dialog.dragStartWindow.x + point.x - dialog.dragStartGlobal.x
                    dialog.y = dialog.dragStartWindow.y + point.y - dialog.dragStartGlobal.y
                }
            }

            Text {
                x: 16
                anchors.verticalCenter: parent.verticalCenter
                text: dialog.title
                color: Theme.textHeading
                font.pixelSize: Theme.fontLarge
                font.bold: true
            }

            Rectangle {
                id: closeButton
                objectName: "settingsDialogClose"
                anchors.right: parent.right
                width: 42
                height: parent.height
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
                    onClicked: dialog.visible = false
                }
            }
        }

        // Side menu of the four pages.
        Rectangle {
            id: sideMenu
            y: titleBar.height
            width: 148
            height: parent.height - titleBar.height
            color: Theme.dialogSideMenu

            Column {
                y: 8
                width: parent.width

                Repeater {
                    model: [
                        "ui.text.tab.playback",
                        "ui.text.tab.video",
                        "ui.text.tab.audio",
                        "ui.text.tab.subtitle"
                    ]

                    delegate: Rectangle {
                        objectName: "menuEntry" + index
                        width: parent.width
                        height: 40
                        color: dialog.currentMenuIndex === index ? Theme.dialogMenuSelected
                                                                 : menuArea.containsMouse ? Theme.dialogTitleBar : "transparent"

                        Rectangle {
                            visible: dialog.currentMenuIndex === index
                            width: 3
                            height: parent.height
                            color: Theme.accent
                        }

                        Text {
                            x: 20
                            anchors.verticalCenter: parent.verticalCenter
                            text: Tr.t(modelData)
                            color: dialog.currentMenuIndex === index ? Theme.textPrimary : Theme.textMenu
                            font.pixelSize: Theme.fontLarge
                        }

                        MouseArea {
                            id: menuArea
                            anchors.fill: parent
                            hoverEnabled: true
                            onClicked: dialog.currentMenuIndex = index
                        }
                    }
                }
            }
        }

        Item {
            id: pageArea
            x: sideMenu.width
            y: titleBar.height
            width: parent.width - sideMenu.width
            height: parent.height - titleBar.height

            PlaybackSettingsPlaybackPage {
                id: playbackPage
                dialog: dialog
                visible: dialog.currentMenuIndex === 0
            }
            PlaybackSettingsVideoPage {
                id: videoPage
                dialog: dialog
                visible: dialog.currentMenuIndex === 1
            }
            PlaybackSettingsAudioPage {
                id: audioPage
                dialog: dialog
                visible: dialog.currentMenuIndex === 2
            }
            PlaybackSettingsSubtitlePage {
                id: subtitlePage
                dialog: dialog
                toolTipHost: content
                visible: dialog.currentMenuIndex === 3
            }
        }
    }
}
