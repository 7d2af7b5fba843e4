// Label and drop-down in one row for the tool pages; only the user's own pick is reported.
import QtQuick 2.14
import QtQuick.Controls 2.14
import "../shared"

Item {
    id: root

    property string label: ""
    property var currentValue: ""
    property var options: []
    property int labelWidth: 72
    property int fieldWidth: 108
    property int fieldHeight: 34
    property bool showArrow: true
    property string unitSuffix: ""
    readonly property alias comboBox: combo

    signal optionSelected(string value)

    // "Auto", an empty value and every value without a suffix are shown as they are.
    function displayValue(value) {
        var text = value === undefined || value === null ? "" : String(value)
        if (text.length === 0 || text === "Auto" || unitSuffix.length === 0)
            return text
        return text + " " + unitSuffix
    }

    function syncCurrentIndex() {
        var list = options
        if (!list || list.length === undefined || list.length === 0) {
            combo.currentIndex = -1
            return
        }
        var wanted = currentValue === undefined || currentValue === null ? "" : String(currentValue)
        var index = 0
        for (var i = 0; i < list.length; ++i) {
            if (String(list[i]) === wanted) {
                index = i
                break
            }
        }
        combo.currentIndex = index
    }

    onOptionsChanged: syncCurrentIndex()
    onCurrentValueChanged: syncCurrentIndex()

    implicitWidth: labelWidth + 10 + fieldWidth
    implicitHeight: fieldHeight

    Text {
        id: labelText
        width: root.labelWidth
        height: root.fieldHeight
        text: root.label
        color: root.enabled ? Theme.textBody : Theme.checkBorder
        font.pixelSize: Theme.fontBody
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    ComboBox {
        id: combo
        objectName: "toolSelectCombo"
        x: root.labelWidth + 10
        width: root.fieldWidth
        height: root.fieldHeight
        model: root.options
        displayText: currentIndex >= 0 && root.options && currentIndex < root.options.length
                     ? root.displayValue(root.options[currentIndex]) : ""

        Component.onCompleted: root.syncCurrentIndex()
        onModelChanged: root.syncCurrentIndex()
        onActivated: {
            if (root.options && index >= 0 && index < root.options.length)
                root.optionSelected(String(root.options[index]))
        }

        background: Rectangle {
            radius: Theme.radius
            color: combo.pressed ? Theme.chooserPressed : Theme.chooserBackground
            border.width: 1
            border.color: combo.hovered || combo.popup.visible ? Theme.selectBorderHover : Theme.selectBorder
        }

        contentItem: Text {
            leftPadding: 10
            rightPadding: root.showArrow ? 26 : 10
            text: combo.displayText
            color: root.enabled ? Theme.textHeading : Theme.checkBorder
            font.pixelSize: Theme.fontBody
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }

        indicator: ThemedIcon {
            x: combo.width - width - 10
            y: (combo.height - height) / 2
            visible: root.showArrow
            iconSize: 12
            source: "qrc:/assets/icons/settings_combo_arrow.svg"
            color: Theme.textLabel
            opacity: root.enabled ? 1.0 : 0.4
        }

        delegate: ItemDelegate {
            id: entry
            width: combo.width
            height: 30
            highlighted: combo.highlightedIndex === index

            contentItem: Text {
                text: root.displayValue(modelData)
                color: Theme.textHeading
                font.pixelSize: Theme.fontBody
                verticalAlignment: Text.AlignVCenter
                elide: Text.ElideRight
            }

            background: Rectangle {
                color: entry.highlighted ? Theme.listHighlight : "transparent"
            }
        }

        popup: Popup {
            y: combo.height + 4
            width: combo.width
            implicitHeight: Math.min(list.contentHeight + 2, 240)
            padding: 1

            contentItem: ListView {
                id: list
                clip: true
                implicitHeight: contentHeight
                model: combo.popup.visible ? combo.delegateModel : null
                currentIndex: combo.highlightedIndex
                ScrollIndicator.vertical: ScrollIndicator {}
            }

            background: Rectangle {
                color: Theme.chooserPopupBackground
                border.color: Theme.selectBorder
                radius: Theme.radius
            }
        }
    }
}
