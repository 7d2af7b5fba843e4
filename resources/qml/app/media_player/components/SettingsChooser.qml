// Drop-down of the playback settings dialog: shows the option whose value equals
// `selectedValue` (else the first) and reports only the user's own picks.
import QtQuick 2.14
import QtQuick.Controls 2.14
import "../../../components"
import "PlaybackSettings.js" as Settings
import "../../../shared"

ComboBox {
    id: control

    // Entries are objects; `valueMember` and `textMember` name their value and title.
    property var options: []
    property string valueMember: "value"
    property string textMember: "text"
    property var selectedValue
    // Cut-off titles get a tool tip with the whole title when this is set.
    property bool truncatedToolTips: false
    property Item toolTipHost: null

    signal picked(var value)

    function optionText(entry) {
        if (entry === null || entry === undefined)
            return ""
        var text = entry[textMember]
        return text === undefined || text === null ? "" : String(text)
    }

    function syncIndex() {
        currentIndex = Qt.binding(function () {
            return Settings.indexOfValue(control.options, control.selectedValue, control.valueMember)
        })
    }

    implicitWidth: 220
    implicitHeight: 32
    model: options
    displayText: currentIndex >= 0 && options && currentIndex < options.length
                 ? optionText(options[currentIndex]) : ""
    currentIndex: Settings.indexOfValue(options, selectedValue, valueMember)

    onActivated: {
        var entry = options && index >= 0 && index < options.length ? options[index] : null
        if (entry)
            picked(entry[valueMember])
        // The pick may have been refused (engine or host): show what really holds now.
        syncIndex()
    }

    background: Rectangle {
        radius: Theme.radiusSmall
        color: control.pressed ? Theme.chooserPressed : Theme.chooserBackground
        border.color: control.hovered || control.popup.visible ? Theme.controlBorderHover : Theme.controlBorder
    }

    contentItem: Text {
        id: shownText
        leftPadding: 10
        rightPadding: control.indicator.width + 6
        text: control.displayText
        color: control.enabled ? Theme.textField : Theme.textChooserDisabled
        font.pixelSize: Theme.fontBody
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight

        MouseArea {
            id: shownHover
            anchors.fill: parent
            hoverEnabled: control.truncatedToolTips
            acceptedButtons: Qt.NoButton
        }
    }

    indicator: Text {
        x: control.width - width - 10
        y: (control.height - height) / 2
        text: "\u25BE"
        color: Theme.chooserArrow
        font.pixelSize: Theme.fontSmall
    }

    HoverToolTip {
        objectName: control.objectName + "ToolTip"
        host: control.truncatedToolTips ? control.toolTipHost : null
        target: shownHover
        enabled: control.truncatedToolTips && shownText.truncated
        text: control.displayText
        delay: 260
        timeout: 2800
    }

    delegate: ItemDelegate {
        id: entryDelegate
        width: control.width
        height: 30
        highlighted: control.highlightedIndex === index

        contentItem: Text {
            id: entryText
            text: control.optionText(modelData)
            color: Theme.textField
            font.pixelSize: Theme.fontBody
            elide: Text.ElideRight
            verticalAlignment: Text.AlignVCenter

            MouseArea {
                id: entryHover
                anchors.fill: parent
                hoverEnabled: control.truncatedToolTips
                acceptedButtons: Qt.NoButton
            }
        }

        background: Rectangle {
            color: entryDelegate.highlighted ? Theme.listHighlight : "transparent"
        }

        HoverToolTip {
            host: control.truncatedToolTips ? entryList : null
            target: entryHover
            enabled: control.truncatedToolTips && entryText.truncated
            text: entryText.text
            delay: 220
            timeout: 2600
        }
    }

    popup: Popup {
        y: control.height + 2
        width: control.width
        implicitHeight: Math.min(entryList.contentHeight + 2, 220)
        padding: 1

        contentItem: ListView {
            id: entryList
            clip: true
            implicitHeight: contentHeight
            model: control.popup.visible ? control.delegateModel : null
            currentIndex: control.highlightedIndex
            ScrollIndicator.vertical: ScrollIndicator {}
        }

        background: Rectangle {
            color: Theme.chooserPopupBackground
            border.color: Theme.controlBorder
            radius: Theme.radiusSmall
        }
    }
}
