// The subtitle page of the playback settings dialog: primary and secondary track, local file and
// delay. Track choices and files go through the dialog's host; a row whose mpv property this
// libmpv lacks is shown disabled, with a tool tip that says so.
import QtQuick 2.14
import QtQuick.Controls 2.14
import "../../../components"
import "../../../shared"

SettingsPage {
    id: subtitlePage
    objectName: "subtitlePage"

    // The dialog that owns the page: its engine, its options and its signals.
    property var dialog: null

    // The item tool tips are kept inside (the dialog's content).
    property Item toolTipHost: null
    readonly property bool secondaryDelaySupported: dialog.engineSupports("secondary-sub-delay")

    function syncFields() {
        subtitleDelayRow.text = String(Guard.read(dialog.playerEngine, "subtitleDelayMs", 0))
        secondarySubtitleDelayRow.text = String(Guard.read(dialog.playerEngine, "secondarySubtitleDelayMs", 0))
    }

    function reset() {
        if (!dialog.playerEngine)
            return
        Guard.call(dialog.playerEngine, "setSubtitleTrackId", [-1])
        Guard.call(dialog.playerEngine, "setSubtitleDelayMs", [0])
        Guard.call(dialog.playerEngine, "setSecondarySubtitleTrackId", [-1])
        Guard.call(dialog.playerEngine, "setSecondarySubtitleDelayMs", [0])
        subtitleDelayRow.text = "0"
        secondarySubtitleDelayRow.text = "0"
    }
    resetText: Tr.t("ui.text.common.reset_default")
    onResetRequested: reset()

    SettingsLabeledRow {
        label: Tr.t("ui.text.subtitle.primary")
        SettingsChooser {
            objectName: "primarySubtitleChooser"
            width: 180
            options: dialog.subtitleTrackOptions
            valueMember: "id"
            textMember: "title"
            selectedValue: Guard.read(dialog.playerEngine, "subtitleTrackId", -1)
            truncatedToolTips: true
            toolTipHost: subtitlePage.toolTipHost
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
        onDelayApplied: Guard.call(dialog.playerEngine, "setSubtitleDelayMs", [milliseconds])
    }

    SettingsLabeledRow {
        label: Tr.t("ui.text.subtitle.secondary")
        SettingsChooser {
            objectName: "secondarySubtitleChooser"
            width: 180
            options: dialog.subtitleTrackOptions
            valueMember: "id"
            textMember: "title"
            selectedValue: Guard.read(dialog.playerEngine, "secondarySubtitleTrackId", -1)
            truncatedToolTips: true
            toolTipHost: subtitlePage.toolTipHost
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

    Item {
        width: secondarySubtitleDelayRow.width
        height: secondarySubtitleDelayRow.height

        SettingsDelayRow {
            id: secondarySubtitleDelayRow
            objectName: "secondarySubtitleDelayRow"
            enabled: subtitlePage.secondaryDelaySupported
            opacity: enabled ? 1 : 0.45
            label: Tr.t("ui.text.subtitle.sync_ms")
            placeholderText: Tr.t("ui.text.common.keep_default")
            stepMs: dialog.delayAdjustStepMs
            active: !!dialog.playerEngine && subtitlePage.secondaryDelaySupported
            onDelayApplied: Guard.call(dialog.playerEngine, "setSecondarySubtitleDelayMs", [milliseconds])
        }

        MouseArea {
            id: unsupportedArea
            objectName: "secondarySubtitleDelayUnsupported"
            anchors.fill: parent
            visible: !subtitlePage.secondaryDelaySupported
            hoverEnabled: true
        }

        HoverToolTip {
            objectName: "secondarySubtitleDelayToolTip"
            host: subtitlePage.toolTipHost
            target: unsupportedArea
            text: unsupportedArea.visible ? Tr.t("ui.text.settings.unsupported_by_player") : ""
        }
    }
}
