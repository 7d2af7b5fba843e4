// The playback page of the playback settings dialog: preferred speed and whether it always applies.
import QtQuick 2.14
import QtQuick.Controls 2.14
import "../../../components"
import "../../../shared"
import "PlaybackSettings.js" as Settings

SettingsPage {
    id: playbackPage
    objectName: "playbackPage"

    // The dialog that owns the page: its engine, its options and its signals.
    property var dialog: null

    function syncFields() {
        speedField.text = Settings.formatSpeed(Guard.read(dialog.playerEngine, "preferredPlaybackSpeed", 1.0))
    }

    function applyPlaybackSpeed(text) {
        if (!dialog.playerEngine)
            return
        var speed = Settings.speedFromText(text)
        if (isNaN(speed)) {
            speedField.text = Settings.formatSpeed(Guard.read(dialog.playerEngine, "playbackSpeed", 1.0))
            return
        }
        speedField.text = Settings.formatSpeed(speed)
        Guard.call(dialog.playerEngine, "setPreferredPlaybackSpeed", [speed])
        Guard.call(dialog.playerEngine, "setPlaybackSpeed", [speed])
    }

    function reset() {
        if (!dialog.playerEngine)
            return
        Guard.call(dialog.playerEngine, "setPreferredPlaybackSpeed", [1.0])
        Guard.call(dialog.playerEngine, "setPlaybackSpeed", [1.0])
        Guard.call(dialog.playerEngine, "setAlwaysApplyPreferredPlaybackSpeed", [false])
        speedField.text = "1.00"
    }
    resetText: Tr.t("ui.text.common.reset_default")
    onResetRequested: reset()

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
                value: Guard.read(dialog.playerEngine, "preferredPlaybackSpeed", 1.0)
                onMoved: {
                    if (!dialog.playerEngine)
                        return
                    var text = Settings.formatSpeed(Settings.roundToHundredth(value))
                    speedField.text = text
                    applyPlaybackSpeed(text)
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
                        color: Theme.textScale
                        font.pixelSize: Theme.fontCaption
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
            onEditingFinished: applyPlaybackSpeed(text)
        }
    }

    ToolCheckBox {
        id: alwaysSpeedCheck
        objectName: "alwaysApplySpeedCheck"
        text: Tr.t("ui.text.playback.always_use_current_speed")
        checked: Guard.read(dialog.playerEngine, "alwaysApplyPreferredPlaybackSpeed", false)
        onToggled: {
            if (dialog.playerEngine)
                Guard.call(dialog.playerEngine, "setAlwaysApplyPreferredPlaybackSpeed", [checked])
            alwaysSpeedCheck.checked = Qt.binding(function () {
                return Guard.read(dialog.playerEngine, "alwaysApplyPreferredPlaybackSpeed", false)
            })
        }
    }
}
