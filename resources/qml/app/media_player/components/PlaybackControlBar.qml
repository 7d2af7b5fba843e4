// The bar under the video: transport, volume and speed pop-ups, title and cover, the enhance
// switch, the toolbox, playback settings and full screen. It only reports requests.
import QtQuick 2.14
import "../../../components"
import "../PlayerLogic.js" as Logic
import "../../tools/ToolRegistry.js" as ToolRegistry
import "../../../shared"

Item {
    id: bar

    property bool active: false
    property bool paused: false
    property bool fullScreen: false
    property real volume: 100
    property real playbackSpeed: 1.0
    property string mediaTitle: ""
    property string mediaCoverSource: ""
    property bool aiEnhanceEnabled: false
    property bool volumePopupVisible: false
    property bool speedPopupVisible: false
    property bool toolboxPopupVisible: false
    readonly property var playbackSpeedOptions: Logic.playbackSpeedOptions
    property var toolboxEntries: ToolRegistry.availableTools()
    readonly property string speedText: Logic.speedText(playbackSpeed)

    signal stopRequested()
    signal previousRequested()
    signal playPauseRequested()
    signal nextRequested()
    signal volumeRequested(real value)
    signal playbackSpeedRequested(real value)
    signal aiEnhanceToggled(bool enabled)
    signal toolboxRequested(string toolId)
    signal playbackSettingsRequested()
    signal toggleFullScreenRequested()
    signal popupsChanged()

    function hideTransientPopups() {
        volumePopupVisible = false
        speedPopupVisible = false
        toolboxPopupVisible = false
    }

    function togglePopup(name) {
        var wasOpen = bar[name]
        hideTransientPopups()
        if (!wasOpen)
            bar[name] = true
    }

    onVolumePopupVisibleChanged: popupsChanged()
    onSpeedPopupVisibleChanged: popupsChanged()
    onToolboxPopupVisibleChanged: popupsChanged()
    onActiveChanged: if (!active) hideTransientPopups()

    height: active ? 68 : 0
    visible: active

    Rectangle {
        anchors.fill: parent
        color: Theme.controlBarBackground
    }

    // A click on the bar outside its buttons closes the pop-ups.
    MouseArea {
        anchors.fill: parent
        onClicked: bar.hideTransientPopups()
    }

    MediaTitleArea {
        id: titleArea
        objectName: "mediaTitleArea"
        anchors.left: parent.left
        anchors.leftMargin: 16
        anchors.right: transport.left
        anchors.rightMargin: 16
        anchors.verticalCenter: parent.verticalCenter
        height: 40
        title: bar.mediaTitle.length > 0 ? bar.mediaTitle : Tr.t("player.media.untitled")
        coverSource: bar.mediaCoverSource
        running: bar.active
    }

    Row {
        id: transport
        anchors.centerIn: parent
        spacing: 10

        ControlIconButton {
            objectName: "stopButton"
            iconSource: "qrc:/assets/icons/player_stop.svg"
            iconSize: 16
            toolTipText: Tr.t("player.control.stop")
            toolTipHost: bar.parent
            onClicked: { bar.hideTransientPopups(); bar.stopRequested() }
        }
        ControlIconButton {
            objectName: "previousButton"
            iconSource: "qrc:/assets/icons/player_previous.svg"
            iconSize: 18
            toolTipText: Tr.t("player.control.previous")
            toolTipHost: bar.parent
            onClicked: { bar.hideTransientPopups(); bar.previousRequested() }
        }
        ControlIconButton {
            objectName: "playPauseButton"
            width: 44
            height: 44
            anchors.verticalCenter: parent.verticalCenter
            iconSource: bar.paused ? "qrc:/assets/icons/player_play.svg" : "qrc:/assets/icons/player_pause.svg"
            iconSize: 24
            toolTipText: Tr.t(bar.paused ? "player.control.play" : "player.control.pause")
            toolTipHost: bar.parent
            onClicked: { bar.hideTransientPopups(); bar.playPauseRequested() }
        }
        ControlIconButton {
            objectName: "nextButton"
            iconSource: "qrc:/assets/icons/player_next.svg"
            iconSize: 18
            toolTipText: Tr.t("player.control.next")
            toolTipHost: bar.parent
            onClicked: { bar.hideTransientPopups(); bar.nextRequested() }
        }
        ControlIconButton {
            id: volumeButton
            objectName: "volumeButton"
            iconSource: bar.volume <= 0.01 ? "qrc:/assets/icons/player_mute.svg" : "qrc:/assets/icons/player_volume.svg"
            highlighted: bar.volumePopupVisible
            toolTipText: Tr.t("player.control.volume")
            toolTipHost: bar.parent
            onClicked: bar.togglePopup("volumePopupVisible")
        }
    }

    Row {
        id: tools
        anchors.right: parent.right
        anchors.rightMargin: 16
        anchors.verticalCenter: parent.verticalCenter
        spacing: 6

        ControlIconButton {
            objectName: "aiEnhanceButton"
            iconSource: "qrc:/assets/icons/player_ai_enhance.svg"
            highlighted: bar.aiEnhanceEnabled
            toolTipText: Tr.t("player.control.ai_enhance")
            toolTipHost: bar.parent
            onClicked: { bar.hideTransientPopups(); bar.aiEnhanceToggled(!bar.aiEnhanceEnabled) }
        }
        ControlIconButton {
            id: toolboxButton
            objectName: "toolboxButton"
            iconSource: "qrc:/assets/icons/player_toolbox.svg"
            highlighted: bar.toolboxPopupVisible
            toolTipText: Tr.t("player.control.toolbox")
            toolTipHost: bar.parent
            onClicked: bar.togglePopup("toolboxPopupVisible")
        }
        Item {
            id: speedButton
            objectName: "speedButton"
            width: 48
            height: 36
            readonly property bool hovered: speedArea.containsMouse
            Rectangle {
                anchors.fill: parent
                radius: Theme.radius
                color: speedArea.containsMouse || bar.speedPopupVisible ? Theme.hoverOverlay : "transparent"
            }
            Text {
                objectName: "speedButtonText"
                anchors.centerIn: parent
                text: bar.speedText
                color: bar.speedPopupVisible ? Theme.accent : Theme.textSoft
                font.pixelSize: Theme.fontBody
                font.bold: true
            }
            MouseArea {
                id: speedArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: bar.togglePopup("speedPopupVisible")
            }
            HoverToolTip {
                host: bar.parent
                target: speedArea
                text: Tr.t("player.control.playback_speed")
            }
        }
        ControlIconButton {
            objectName: "playbackSettingsButton"
            iconSource: "qrc:/assets/icons/player_settings.svg"
            toolTipText: Tr.t("player.control.playback_settings")
            toolTipHost: bar.parent
            onClicked: { bar.hideTransientPopups(); bar.playbackSettingsRequested() }
        }
        ControlIconButton {
            objectName: "fullScreenButton"
            iconSource: bar.fullScreen ? "qrc:/assets/icons/player_fullscreen_exit.svg"
                                       : "qrc:/assets/icons/player_fullscreen.svg"
            toolTipText: Tr.t(bar.fullScreen ? "player.control.exit_fullscreen" : "player.control.fullscreen")
            toolTipHost: bar.parent
            onClicked: { bar.hideTransientPopups(); bar.toggleFullScreenRequested() }
        }
    }

    VolumePopup {
        id: volumePopup
        objectName: "volumePopup"
        visible: bar.volumePopupVisible
        volume: bar.volume
        x: transport.x + volumeButton.x + volumeButton.width / 2 - width / 2
        y: -height - 6
        onVolumeRequested: bar.volumeRequested(value)
        onPointerLeft: if (!volumeButton.hovered) bar.volumePopupVisible = false
    }

    SpeedPopup {
        id: speedPopup
        objectName: "speedPopup"
        visible: bar.speedPopupVisible
        playbackSpeed: bar.playbackSpeed
        x: Math.min(bar.width - width - 4, tools.x + speedButton.x + speedButton.width / 2 - width / 2)
        y: -height - 6
        onSpeedChosen: {
            bar.playbackSpeedRequested(value)
            bar.speedPopupVisible = false
        }
        onPointerLeft: if (!speedButton.hovered) bar.speedPopupVisible = false
    }

    ToolboxPopup {
        id: toolboxPopup
        objectName: "toolboxPopup"
        visible: bar.toolboxPopupVisible
        entries: bar.toolboxEntries
        x: Math.min(bar.width - width - 4, tools.x + toolboxButton.x + toolboxButton.width / 2 - width / 2)
        y: -height - 6
        onEntryChosen: {
            bar.toolboxPopupVisible = false
            if (enabled)
                bar.toolboxRequested(toolId)
        }
        onPointerLeft: if (!toolboxButton.hovered) bar.toolboxPopupVisible = false
    }
}
