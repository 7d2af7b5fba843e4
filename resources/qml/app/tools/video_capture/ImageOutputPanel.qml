// The output row of the capture and to-image pages: size with the aspect lock, format,
// quality and the output folder, all written straight to the page's view model.
import QtQuick 2.14
import QtQuick.Controls 2.14
import "../../../components"
import "../../../shared"
import "FramePage.js" as FramePage

Item {
    id: panel

    property var viewModel: null
    property string resolutionLabel: Tr.t("tool.common.label.resolution")
    property string formatLabel: Tr.t("tool.common.label.format")
    property string qualityLabel: Tr.t("tool.common.label.quality")
    property string outputLabel: Tr.t("tool.common.label.output")
    property var qualityTexts: [Tr.t("tool.common.quality.high"), Tr.t("tool.common.quality.medium"),
                                Tr.t("tool.common.quality.low")]
    property int controlHeight: 32
    readonly property bool editingSize: widthField.activeFocus || heightField.activeFocus

    function releaseFocus() {
        if (editingSize)
            panel.forceActiveFocus()
    }

    function syncResolutionFields() {
        if (!widthField.activeFocus)
            widthField.text = String(Guard.read(viewModel, "outputWidth", 0))
        if (!heightField.activeFocus)
            heightField.text = String(Guard.read(viewModel, "outputHeight", 0))
    }

    function applyResolutionInputs() {
        if (!viewModel)
            return
        Guard.call(viewModel, "setOutputWidth", [parseInt(widthField.text, 10) || 0])
        widthField.text = String(Guard.read(viewModel, "outputWidth", 0))
        Guard.call(viewModel, "setOutputHeight", [parseInt(heightField.text, 10) || 0])
        heightField.text = String(Guard.read(viewModel, "outputHeight", 0))
    }

    function qualityText(preset) {
        return preset === "medium" ? qualityTexts[1] : preset === "low" ? qualityTexts[2] : qualityTexts[0]
    }

    function presetForText(text) {
        return text === qualityTexts[1] ? "medium" : text === qualityTexts[2] ? "low" : "high"
    }

    function chooseOutputFolder() {
        var picked = Guard.call("fileDialogService", "pickFolder")
        var path = FramePage.toLocalPath(picked)
        if (path.length > 0)
            Guard.call(viewModel, "setOutputDirectory", [path])
    }

    function openOutputFolder() {
        var folder = String(Guard.read(viewModel, "outputDirectory", ""))
        if (folder.length > 0)
            Qt.openUrlExternally(FramePage.toFileUrl(folder))
    }

    Component.onCompleted: syncResolutionFields()

    Connections {
        target: panel.viewModel
        ignoreUnknownSignals: true
        function onOutputResolutionChanged() { panel.syncResolutionFields() }
    }

    Row {
        id: sizeRow
        spacing: 6
        height: panel.controlHeight

        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: panel.resolutionLabel
            color: Theme.textLabel
            font.pixelSize: Theme.fontBody
        }

        TextField {
            id: widthField
            objectName: "outputWidthField"
            width: 64
            height: panel.controlHeight
            color: Theme.textField
            font.pixelSize: Theme.fontBody
            horizontalAlignment: Text.AlignHCenter
            selectByMouse: true
            validator: IntValidator { bottom: 0; top: 16384 }
            background: Rectangle { color: Theme.fieldBackground; border.color: Theme.controlBorder; radius: Theme.radiusSmall }
            onEditingFinished: panel.applyResolutionInputs()
            onActiveFocusChanged: if (!activeFocus) panel.applyResolutionInputs()
        }

        Item {
            width: 28
            height: panel.controlHeight
            objectName: "aspectToggle"
            ThemedIcon {
                anchors.centerIn: parent
                width: 18
                height: 18
                source: Guard.read(viewModel, "keepAspectRatio", true) ? "qrc:/assets/icons/aspect_lock_on.svg"
                                                                              : "qrc:/assets/icons/aspect_lock_off.svg"
                color: Guard.read(viewModel, "keepAspectRatio", true) ? Theme.accent : Theme.textDim
            }
            MouseArea {
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                onClicked: Guard.call(viewModel, "setKeepAspectRatio",
                                      [!Guard.read(viewModel, "keepAspectRatio", true)])
            }
        }

        TextField {
            id: heightField
            objectName: "outputHeightField"
            width: 64
            height: panel.controlHeight
            color: Theme.textField
            font.pixelSize: Theme.fontBody
            horizontalAlignment: Text.AlignHCenter
            selectByMouse: true
            validator: IntValidator { bottom: 0; top: 16384 }
            background: Rectangle { color: Theme.fieldBackground; border.color: Theme.controlBorder; radius: Theme.radiusSmall }
            onEditingFinished: panel.applyResolutionInputs()
            onActiveFocusChanged: if (!activeFocus) panel.applyResolutionInputs()
        }

        ToolSelectField {
            objectName: "formatField"
            height: panel.controlHeight
            label: panel.formatLabel
            labelWidth: 44
            fieldWidth: 84
            fieldHeight: panel.controlHeight
            options: Guard.read(viewModel, "outputFormatOptions", [])
            currentValue: Guard.read(viewModel, "outputFormat", "PNG")
            onOptionSelected: Guard.call(viewModel, "setOutputFormat", [value])
        }

        ToolSelectField {
            objectName: "qualityField"
            height: panel.controlHeight
            label: panel.qualityLabel
            labelWidth: 44
            fieldWidth: 64
            fieldHeight: panel.controlHeight
            options: panel.qualityTexts
            currentValue: panel.qualityText(Guard.read(viewModel, "qualityPreset", "high"))
            onOptionSelected: Guard.call(viewModel, "setQualityPreset", [panel.presetForText(value)])
        }
    }

    Row {
        anchors.top: sizeRow.bottom
        anchors.topMargin: 10
        spacing: 6
        height: panel.controlHeight

        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: panel.outputLabel
            color: Theme.textLabel
            font.pixelSize: Theme.fontBody
        }

        Rectangle {
            width: Math.max(120, panel.width - 130)
            height: panel.controlHeight
            color: Theme.fieldBackground
            border.color: Theme.controlBorder
            radius: Theme.radiusSmall
            Text {
                anchors.fill: parent
                anchors.leftMargin: 8
                anchors.rightMargin: 8
                verticalAlignment: Text.AlignVCenter
                text: String(Guard.read(viewModel, "outputDirectory", ""))
                color: Theme.textField
                font.pixelSize: Theme.fontSmall
                elide: Text.ElideMiddle
            }
        }

        Repeater {
            model: [
                { icon: "qrc:/assets/icons/output_dir_edit.svg", name: "editOutputButton" },
                { icon: "qrc:/assets/icons/tool_folder.svg", name: "openOutputButton" }
            ]
            delegate: Rectangle {
                objectName: modelData.name
                width: panel.controlHeight
                height: panel.controlHeight
                radius: Theme.radiusSmall
                color: iconArea.containsMouse ? Theme.buttonHover : Theme.buttonBackground
                ThemedIcon {
                    anchors.centerIn: parent
                    width: 16
                    height: 16
                    source: modelData.icon
                }
                MouseArea {
                    id: iconArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: index === 0 ? panel.chooseOutputFolder() : panel.openOutputFolder()
                }
            }
        }
    }
}
