// The audio page of the playback settings dialog: channel mode, audio track and audio delay.
import QtQuick 2.14
import QtQuick.Controls 2.14
import "../../../components"
import "../../../shared"

SettingsPage {
    id: audioPage
    objectName: "audioPage"

    // The dialog that owns the page: its engine, its options and its signals.
    property var dialog: null

    readonly property var channelOptions: [
        { value: "stereo", text: Tr.t("ui.text.audio.default_channel_stereo") },
        { value: "mono-left", text: Tr.t("ui.text.audio.channel_left") },
        { value: "mono-right", text: Tr.t("ui.text.audio.channel_right") }
    ]

    function syncFields() {
        audioDelayRow.text = String(Guard.read(dialog.playerEngine, "audioDelayMs", 0))
    }

    function reset() {
        if (!dialog.playerEngine)
            return
        Guard.call(dialog.playerEngine, "setAudioChannelMode", ["stereo"])
        Guard.call(dialog.playerEngine, "setAudioTrackId", [0])
        Guard.call(dialog.playerEngine, "setAudioDelayMs", [0])
        audioDelayRow.text = "0"
    }
    resetText: Tr.t("ui.text.common.reset_default")
    onResetRequested: reset()

    SettingsLabeledRow {
        label: Tr.t("ui.text.audio.channel")
        SettingsChooser {
            objectName: "channelChooser"
            options: channelOptions
            selectedValue: Guard.read(dialog.playerEngine, "audioChannelMode", "stereo")
            onPicked: Guard.call(dialog.playerEngine, "setAudioChannelMode", [value])
        }
    }

    SettingsLabeledRow {
        label: Tr.t("ui.text.audio.track")
        SettingsChooser {
            objectName: "audioTrackChooser"
            options: dialog.audioTrackOptions
            valueMember: "id"
            textMember: "title"
            selectedValue: Guard.read(dialog.playerEngine, "audioTrackId", 0)
            onPicked: Guard.call(dialog.playerEngine, "setAudioTrackId", [value])
        }
    }

    SettingsDelayRow {
        id: audioDelayRow
        objectName: "audioDelayRow"
        label: Tr.t("ui.text.subtitle.sync_ms")
        placeholderText: Tr.t("ui.text.common.keep_default")
        stepMs: dialog.delayAdjustStepMs
        active: !!dialog.playerEngine
        onDelayApplied: Guard.call(dialog.playerEngine, "setAudioDelayMs", [milliseconds])
    }
}
