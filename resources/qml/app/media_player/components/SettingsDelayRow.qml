// A delay row of the playback settings dialog: "-", a millisecond field and "+"; the field is
// only rewritten by the row itself or by the dialog's sync, never bound to the engine.
import QtQuick 2.14
import QtQuick.Controls 2.14
import "PlaybackSettings.js" as Settings
import "../../../shared"

Row {
    id: root

    property string label: ""
    property string placeholderText: ""
    property int stepMs: 100
    // Without an engine behind the row, its buttons and field change nothing.
    property bool active: true
    property alias text: field.text
    readonly property alias field: field

    // The field's new value in milliseconds, already rounded and clamped.
    signal delayApplied(int milliseconds)

    function nudgeDelay(direction) {
        if (!active)
            return
        var value = Settings.nudgedDelay(field.text, direction * stepMs)
        field.text = String(value)
        delayApplied(value)
    }

    function applyDelay() {
        if (!active)
            return
        var value = Settings.delayFromText(field.text)
        field.text = String(value)
        delayApplied(value)
    }

    spacing: 8

    Text {
        width: 110
        height: 32
        text: root.label
        color: Theme.textLabel
        font.pixelSize: Theme.fontBody
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    SettingsTextButton {
        objectName: "delayMinus"
        text: "-"
        onClicked: root.nudgeDelay(-1)
    }

    SettingsTextField {
        id: field
        objectName: "delayField"
        width: 110
        placeholderText: root.placeholderText
        horizontalAlignment: TextInput.AlignHCenter
        // Out-of-range numbers are let through and clamped on confirmation, so the user sees
        // what became of them.
        validator: RegularExpressionValidator { regularExpression: /^[+-]?\d{0,6}$/ }
        onEditingFinished: root.applyDelay()
    }

    SettingsTextButton {
        objectName: "delayPlus"
        text: "+"
        onClicked: root.nudgeDelay(1)
    }
}
