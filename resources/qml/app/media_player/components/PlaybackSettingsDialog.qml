// Playback settings window of the main player: speed, picture, audio and subtitles, written
// straight into the player's engine; subtitle track choices and files go through the host.
import QtQuick 2.14
import QtQuick.Window 2.14
import QtQuick.Controls 2.14
import "../../../components"
import "PlaybackSettings.js" as Settings
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

    readonly property var aspectOptions: [
        { value: "default", text: Tr.t("ui.text.common.default") },
        { value: "16:9", text: "16:9" },
        { value: "4:3", text: "4:3" },
        { value: "fill", text: Tr.t("ui.text.video.fill_screen") }
    ]
    readonly property var rotationOptions: [
        { value: 0, text: Tr.t("ui.text.common.default") },
        { value: 90, text: "90\u00B0" },
        { value: 180, text: "180\u00B0" },
        { value: 270, text: "270\u00B0" }
    ]
    readonly property var channelOptions: [
        { value: "stereo", text: Tr.t("ui.text.audio.default_channel_stereo") },
        { value: "mono-left", text: Tr.t("ui.text.audio.channel_left") },
        { value: "mono-right", text: Tr.t("ui.text.audio.channel_right") }
    ]

    flags: Qt.Tool | Qt.FramelessWindowHint
    modality: Qt.ApplicationModal
    width: 620
    height: 420
    minimumWidth: 620
    minimumHeight: 420
    maximumWidth: 620
    maximumHeight: 420
    visible: false
    color: "#1B1B1B"
    title: Tr.t("ui.text.video.display_settings")

    // The engine's property, or the fallback while there is no engine or it lacks the member.
    function engineValue(name, fallback) {
        var engine = playerEngine
        if (!engine)
            return fallback
        var value = engine[name]
        return value === undefined || value === null || typeof value === "function" ? fallback : value
    }

    // Calls an engine setter when engine and setter exist; false otherwise.
    function callEngine(name, argument) {
        var engine = playerEngine
        if (!engine || typeof engine[name] !== "function")
            return false
        return engine[name](argument) === true
    }

    function syncFields() {
        speedField.text = Settings.formatSpeed(engineValue("preferredPlaybackSpeed", 1.0))
        audioDelayRow.text = String(engineValue("audioDelayMs", 0))
        subtitleDelayRow.text = String(engineValue("subtitleDelayMs", 0))
        secondarySubtitleDelayRow.text = String(engineValue("secondarySubtitleDelayMs", 0))
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

    function applyPlaybackSpeed(text) {
        if (!playerEngine)
            return
        var speed = Settings.speedFromText(text)
        if (isNaN(speed)) {
            speedField.text = Settings.formatSpeed(engineValue("playbackSpeed", 1.0))
            return
        }
        speedField.text = Settings.formatSpeed(speed)
        callEngine("setPreferredPlaybackSpeed", speed)
        callEngine("setPlaybackSpeed", speed)
    }

    function resetPlaybackPage() {
        if (!playerEngine)
            return
        callEngine("setPreferredPlaybackSpeed", 1.0)
        callEngine("setPlaybackSpeed", 1.0)
        callEngine("setAlwaysApplyPreferredPlaybackSpeed", false)
        speedField.text = "1.00"
    }

    function resetVideoPage() {
        if (!playerEngine)
            return
        var sliders = [brightnessSlider, saturationSlider, contrastSlider, hueSlider]
        for (var i = 0; i < sliders.length; ++i)
            sliders[i].cancelPending()
        callEngine("setAspectMode", "default")
        callEngine("setVideoRotation", 0)
        callEngine("setCropBlackBars", false)
        callEngine("setVideoBrightness", 0)
        callEngine("setVideoSaturation", 0)
        callEngine("setVideoContrast", 0)
        callEngine("setVideoHue", 0)
        for (var j = 0; j < sliders.length; ++j)
            sliders[j].followEngine()
    }

    function resetAudioPage() {
        if (!playerEngine)
            return
        callEngine("setAudioChannelMode", "stereo")
        callEngine("setAudioTrackId", 0)
        callEngine("setAudioDelayMs", 0)
        audioDelayRow.text = "0"
    }

    function resetSubtitlePage() {
        if (!playerEngine)
            return
        callEngine("setSubtitleTrackId", -1)
        callEngine("setSubtitleDelayMs", 0)
        callEngine("setSecondarySubtitleTrackId", -1)
        callEngine("setSecondarySubtitleDelayMs", 0)
        subtitleDelayRow.text = "0"
        secondarySubtitleDelayRow.text = "0"
    }

    function applyDelayToEngine(setter, milliseconds) {
        if (playerEngine)
            callEngine(setter, milliseconds)
    }

    Item {
        id: content
        anchors.fill: parent

        Rectangle {
            anchors.fill: parent
            color: "transparent"
            border.color: "#333333"
            z: 10
        }

        // Title bar: caption, close button, and dragging the window by hand.
        Rectangle {
            id: titleBar
            width: parent.width
            height: 42
            color: "#222222"

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
                color: "#F0F0F0"
                font.pixelSize: 14
                font.bold: true
            }

            Rectangle {
                id: closeButton
                objectName: "settingsDialogClose"
                anchors.right: parent.right
                width: 42
                height: parent.height
                color: closeArea.pressed ? "#A93232" : closeArea.containsMouse ? "#C93C3C" : "transparent"

                ThemedIcon {
                    anchors.centerIn: parent
                    iconSize: 14
                    source: "qrc:/assets/icons/window_close.svg"
                    color: closeArea.containsMouse ? "#FFFFFF" : "#C8C8C8"
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
            color: "#171717"

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
                        color: dialog.currentMenuIndex === index ? "#2A2F38"
                                                                 : menuArea.containsMouse ? "#222222" : "transparent"

                        Rectangle {
                            visible: dialog.currentMenuIndex === index
                            width: 3
                            height: parent.height
                            color: "#3D8BFF"
                        }

                        Text {
                            x: 20
                            anchors.verticalCenter: parent.verticalCenter
                            text: Tr.t(modelData)
                            color: dialog.currentMenuIndex === index ? "#FFFFFF" : "#B4B4B4"
                            font.pixelSize: 14
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

            // Page "playback".
            SettingsPage {
                id: playbackPage
                objectName: "playbackPage"
                visible: dialog.currentMenuIndex === 0
                resetText: Tr.t("ui.text.common.reset_default")
                onResetRequested: dialog.resetPlaybackPage()

                SettingsHeading { text: Tr.t("ui.text.playback.speed") }

                Row {
                    spacing: 16

                    Column {
                        width: playbackPage.pageWidth - speedField.width - 16
                        spacing: 4

                        SettingsSlider {
                            id: speedSlider
                            objectName: "speedSlider"
                            width: parent.width
                            from: 0.5
                            to: 2.0
                            stepSize: 0.01
                            value: dialog.engineValue("preferredPlaybackSpeed", 1.0)
                            onMoved: {
                                if (!dialog.playerEngine)
                                    return
                                var text = Settings.formatSpeed(Settings.roundToHundredth(value))
                                speedField.text = text
                                dialog.applyPlaybackSpeed(text)
                            }
                        }

                        Item {
                            width: parent.width
                            height: 16

                            Repeater {
                                model: [
                                    { key: "ui.text.playback.speed_0_5x", speed: 0.5 },
                                    { key: "ui.text.playback.speed_1x", speed: 1.0 },
                                    { key: "ui.text.playback.speed_1_5x", speed: 1.5 },
                                    { key: "ui.text.playback.speed_2x", speed: 2.0 }
                                ]

                                delegate: Text {
                                    readonly property real position: (modelData.speed - 0.5) / 1.5
                                    x: Math.max(0, Math.min(parent.width - width,
                                                            7 + position * (parent.width - 14) - width / 2))
                                    text: Tr.t(modelData.key)
                                    color: "#8C8C8C"
                                    font.pixelSize: 11
                                }
                            }
                        }
                    }

                    SettingsTextField {
                        id: speedField
                        objectName: "speedField"
                        width: 72
                        horizontalAlignment: TextInput.AlignHCenter
                        // The range is applied on confirmation: a typed 0.3 becomes 0.50.
                        validator: RegularExpressionValidator { regularExpression: /^\d{0,2}(\.\d{0,2})?$/ }
                        onEditingFinished: dialog.applyPlaybackSpeed(text)
                    }
                }

                ToolCheckBox {
                    id: alwaysSpeedCheck
                    objectName: "alwaysApplySpeedCheck"
                    text: Tr.t("ui.text.playback.always_use_current_speed")
                    checked: dialog.engineValue("alwaysApplyPreferredPlaybackSpeed", false)
                    onToggled: {
                        if (dialog.playerEngine)
                            dialog.callEngine("setAlwaysApplyPreferredPlaybackSpeed", checked)
                        alwaysSpeedCheck.checked = Qt.binding(function () {
                            return dialog.engineValue("alwaysApplyPreferredPlaybackSpeed", false)
                        })
                    }
                }
            }

            // Page "video".
            SettingsPage {
                id: videoPage
                objectName: "videoPage"
                visible: dialog.currentMenuIndex === 1
                resetText: Tr.t("ui.text.common.reset_default")
                onResetRequested: dialog.resetVideoPage()

                SettingsLabeledRow {
                    label: Tr.t("ui.text.video.aspect_ratio")
                    SettingsChooser {
                        objectName: "aspectChooser"
                        options: dialog.aspectOptions
                        selectedValue: dialog.engineValue("aspectMode", "default")
                        onPicked: dialog.callEngine("setAspectMode", value)
                    }
                }

                SettingsLabeledRow {
                    label: Tr.t("ui.text.video.rotate")
                    SettingsChooser {
                        objectName: "rotationChooser"
                        options: dialog.rotationOptions
                        selectedValue: dialog.engineValue("videoRotation", 0)
                        onPicked: dialog.callEngine("setVideoRotation", value)
                    }
                }

                ToolCheckBox {
                    id: cropCheck
                    objectName: "cropBlackBarsCheck"
                    text: Tr.t("ui.text.video.crop_black_bars")
                    checked: dialog.engineValue("cropBlackBars", false)
                    onToggled: {
                        if (dialog.playerEngine)
                            dialog.callEngine("setCropBlackBars", checked)
                        cropCheck.checked = Qt.binding(function () {
                            return dialog.engineValue("cropBlackBars", false)
                        })
                    }
                }

                Grid {
                    columns: 2
                    columnSpacing: 24
                    rowSpacing: 8
                    width: videoPage.pageWidth

                    PictureAdjustSlider {
                        id: brightnessSlider
                        objectName: "brightnessSlider"
                        width: (videoPage.pageWidth - 24) / 2
                        label: Tr.t("ui.text.video.brightness")
                        engineValue: dialog.engineValue("videoBrightness", 0)
                        debounceMs: dialog.videoAdjustDebounceMs
                        onCommitRequested: dialog.callEngine("setVideoBrightness", value)
                    }
                    PictureAdjustSlider {
                        id: saturationSlider
                        objectName: "saturationSlider"
                        width: (videoPage.pageWidth - 24) / 2
                        label: Tr.t("ui.text.video.saturation")
                        engineValue: dialog.engineValue("videoSaturation", 0)
                        debounceMs: dialog.videoAdjustDebounceMs
                        onCommitRequested: dialog.callEngine("setVideoSaturation", value)
                    }
                    PictureAdjustSlider {
                        id: contrastSlider
                        objectName: "contrastSlider"
                        width: (videoPage.pageWidth - 24) / 2
                        label: Tr.t("ui.text.video.contrast")
                        engineValue: dialog.engineValue("videoContrast", 0)
                        debounceMs: dialog.videoAdjustDebounceMs
                        onCommitRequested: dialog.callEngine("setVideoContrast", value)
                    }
                    PictureAdjustSlider {
                        id: hueSlider
                        objectName: "hueSlider"
                        width: (videoPage.pageWidth - 24) / 2
                        label: Tr.t("ui.text.video.hue")
                        engineValue: dialog.engineValue("videoHue", 0)
                        debounceMs: dialog.videoAdjustDebounceMs
                        onCommitRequested: dialog.callEngine("setVideoHue", value)
                    }
                }
            }

            // Page "audio".
            SettingsPage {
                id: audioPage
                objectName: "audioPage"
                visible: dialog.currentMenuIndex === 2
                resetText: Tr.t("ui.text.common.reset_default")
                onResetRequested: dialog.resetAudioPage()

                SettingsLabeledRow {
                    label: Tr.t("ui.text.audio.channel")
                    SettingsChooser {
                        objectName: "channelChooser"
                        options: dialog.channelOptions
                        selectedValue: dialog.engineValue("audioChannelMode", "stereo")
                        onPicked: dialog.callEngine("setAudioChannelMode", value)
                    }
                }

                SettingsLabeledRow {
                    label: Tr.t("ui.text.audio.track")
                    SettingsChooser {
                        objectName: "audioTrackChooser"
                        options: dialog.audioTrackOptions
                        valueMember: "id"
                        textMember: "title"
                        selectedValue: dialog.engineValue("audioTrackId", 0)
                        onPicked: dialog.callEngine("setAudioTrackId", value)
                    }
                }

                SettingsDelayRow {
                    id: audioDelayRow
                    objectName: "audioDelayRow"
                    label: Tr.t("ui.text.subtitle.sync_ms")
                    placeholderText: Tr.t("ui.text.common.keep_default")
                    stepMs: dialog.delayAdjustStepMs
                    active: !!dialog.playerEngine
                    onDelayApplied: dialog.applyDelayToEngine("setAudioDelayMs", milliseconds)
                }
            }

            // Page "subtitle".
            SettingsPage {
                id: subtitlePage
                objectName: "subtitlePage"
                visible: dialog.currentMenuIndex === 3
                resetText: Tr.t("ui.text.common.reset_default")
                onResetRequested: dialog.resetSubtitlePage()

                SettingsLabeledRow {
                    label: Tr.t("ui.text.subtitle.primary")
                    SettingsChooser {
                        objectName: "primarySubtitleChooser"
                        width: 180
                        options: dialog.subtitleTrackOptions
                        valueMember: "id"
                        textMember: "title"
                        selectedValue: dialog.engineValue("subtitleTrackId", -1)
                        truncatedToolTips: true
                        toolTipHost: content
                        onPicked: {
                            if (dialog.playerEngine)
                                dialog.primarySubtitleTrackSelectionRequested(value)
                        }
                    }
                    SettingsTextButton {
                        objectName: "primarySubtitleFileButton"
                        width: 100
                        text: Tr.t("ui.text.subtitle.local")
                        onClicked: {
                            if (dialog.playerEngine)
                                dialog.primarySubtitleFileRequested()
                        }
                    }
                }

                SettingsDelayRow {
                    id: subtitleDelayRow
                    objectName: "subtitleDelayRow"
                    label: Tr.t("ui.text.subtitle.sync_ms")
                    placeholderText: Tr.t("ui.text.common.keep_default")
                    stepMs: dialog.delayAdjustStepMs
                    active: !!dialog.playerEngine
                    onDelayApplied: dialog.applyDelayToEngine("setSubtitleDelayMs", milliseconds)
                }

                SettingsLabeledRow {
                    label: Tr.t("ui.text.subtitle.secondary")
                    SettingsChooser {
                        objectName: "secondarySubtitleChooser"
                        width: 180
                        options: dialog.subtitleTrackOptions
                        valueMember: "id"
                        textMember: "title"
                        selectedValue: dialog.engineValue("secondarySubtitleTrackId", -1)
                        truncatedToolTips: true
                        toolTipHost: content
                        onPicked: {
                            if (dialog.playerEngine)
                                dialog.secondarySubtitleTrackSelectionRequested(value)
                        }
                    }
                    SettingsTextButton {
                        objectName: "secondarySubtitleFileButton"
                        width: 100
                        text: Tr.t("ui.text.subtitle.local")
                        onClicked: {
                            if (dialog.playerEngine)
                                dialog.secondarySubtitleFileRequested()
                        }
                    }
                }

                SettingsDelayRow {
                    id: secondarySubtitleDelayRow
                    objectName: "secondarySubtitleDelayRow"
                    label: Tr.t("ui.text.subtitle.sync_ms")
                    placeholderText: Tr.t("ui.text.common.keep_default")
                    stepMs: dialog.delayAdjustStepMs
                    active: !!dialog.playerEngine
                    onDelayApplied: dialog.applyDelayToEngine("setSecondarySubtitleDelayMs", milliseconds)
                }
            }
        }
    }
}
