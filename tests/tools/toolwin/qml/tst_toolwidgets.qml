// Shared tool widgets: the select field's display and syncing, the result dialog's close and its
// status colours, and the check box.
import QtQuick 2.14
import QtTest 1.2
import "qrc:/qml/components"

Item {
    width: 600
    height: 500

    // Input reaches only visible items, and a TestCase is invisible.
    Item {
        id: stage
        anchors.fill: parent
    }

    TestCase {
        id: testCase
        name: "ToolWidgets"
        when: windowShown

        Component {
            id: selectComponent
            ToolSelectField {
                x: 20
                y: 20
                options: ["Auto", "128", "192"]
                unitSuffix: "kbps"
            }
        }

        Component {
            id: resultComponent
            Item {
                width: 600
                height: 500
                property alias dialog: resultDialog
                property int pageClicks: 0
                // The page under the dialog.
                MouseArea {
                    anchors.fill: parent
                    acceptedButtons: Qt.AllButtons
                    onClicked: parent.pageClicks += 1
                }
                ToolResultDialog {
                    id: resultDialog
                    titleText: "Done"
                    messageText: "All files converted."
                }
            }
        }

        Component {
            id: checkComponent
            ToolCheckBox { text: "shutdown" }
        }

        Component {
            id: spyComponent
            SignalSpy {}
        }

        function spyOn(target, signalName) {
            return createTemporaryObject(spyComponent, testCase, { target: target, signalName: signalName })
        }

        function test_displayValue_data() {
            return [
                { tag: "Auto stays bare", suffix: "kbps", value: "Auto", shown: "Auto" },
                { tag: "number with unit", suffix: "kbps", value: "128", shown: "128 kbps" },
                { tag: "empty value", suffix: "kbps", value: "", shown: "" },
                { tag: "no unit", suffix: "", value: "128", shown: "128" }
            ]
        }

        function test_displayValue(data) {
            var field = createTemporaryObject(selectComponent, stage, { unitSuffix: data.suffix })
            compare(field.displayValue(data.value), data.shown)
        }

        function test_shownOption_data() {
            return [
                { tag: "listed value", value: "192", index: 2, shown: "192 kbps" },
                { tag: "unlisted value falls back to the first", value: "256", index: 0, shown: "Auto" },
                { tag: "Auto", value: "Auto", index: 0, shown: "Auto" }
            ]
        }

        function test_shownOption(data) {
            var field = createTemporaryObject(selectComponent, stage, { currentValue: data.value })
            compare(field.comboBox.currentIndex, data.index)
            compare(field.comboBox.displayText, data.shown)
        }

        function test_syncingEmitsNothing() {
            var field = createTemporaryObject(selectComponent, stage, { currentValue: "128" })
            var spy = spyOn(field, "optionSelected")
            field.currentValue = "192"
            compare(field.comboBox.currentIndex, 2)
            field.options = ["64", "192", "320"]
            compare(field.comboBox.currentIndex, 1)
            field.options = []
            compare(field.comboBox.currentIndex, -1)
            field.options = ["Auto", "48"]
            compare(field.comboBox.currentIndex, 0)
            compare(spy.count, 0)
        }

        function test_userPickEmitsTheOptionText() {
            var field = createTemporaryObject(selectComponent, stage, { currentValue: "Auto" })
            var spy = spyOn(field, "optionSelected")
            var combo = field.comboBox
            mouseClick(combo)
            tryCompare(combo.popup, "opened", true)
            var list = combo.popup.contentItem
            tryVerify(function () { return list.itemAtIndex(2) !== null })
            var entry = list.itemAtIndex(2)
            mouseClick(entry)
            compare(spy.count, 1)
            compare(spy.signalArguments[0][0], "192")
        }

        // Modal: while the dialog is up, clicks beside the card never reach the page under
        // it; once it is closed they do again.
        function test_resultDialogIsModal() {
            var host = createTemporaryObject(resultComponent, stage)
            var dialog = host.dialog
            dialog.visible = true
            waitForRendering(host)
            mouseClick(host, 10, 10)
            mouseClick(host, 10, 10, Qt.RightButton)
            mouseClick(host, host.width / 2, 12)
            mouseClick(host, host.width - 5, host.height - 5)
            compare(host.pageClicks, 0)
            verify(dialog.visible)
            dialog.closeDialog()
            mouseClick(host, 10, 10)
            compare(host.pageClicks, 1)
        }

        function test_resultDialogButtonsAndClose() {
            var holder = createTemporaryObject(resultComponent, stage)
            var dialog = holder.dialog
            verify(!dialog.visible)
            var primarySpy = spyOn(dialog, "primaryClicked")
            var closedSpy = spyOn(dialog, "closed")
            dialog.visible = true
            waitForRendering(holder)

            // Without a handler the primary button leaves the dialog open.
            mouseClick(findChild(dialog, "resultDialogPrimary"))
            compare(primarySpy.count, 1)
            verify(dialog.visible)

            mouseClick(findChild(dialog, "resultDialogClose"))
            verify(!dialog.visible)
            compare(closedSpy.count, 1)
            dialog.closeDialog()
            compare(closedSpy.count, 1)
        }

        // Success and failure show in their own colours, never as the same tinted disc.
        function test_resultDialogIconKeepsItsColours_data() {
            return [
                { tag: "success", source: "qrc:/assets/icons/status_success.svg", green: true },
                { tag: "failure", source: "qrc:/assets/icons/status_error.svg", green: false }
            ]
        }
        function test_resultDialogIconKeepsItsColours(data) {
            var holder = createTemporaryObject(resultComponent, stage)
            var dialog = holder.dialog
            dialog.iconSource = data.source
            dialog.visible = true
            var icon = findChild(dialog, "resultDialogIcon")
            verify(icon)
            tryCompare(icon, "status", Image.Ready)
            waitForRendering(holder)
            // The icon as the window shows it, inside the card.
            var image = grabImage(holder)
            var origin = icon.mapToItem(holder, 0, 0)
            var green = 0
            var red = 0
            for (var y = 0; y < icon.height; ++y) {
                for (var x = 0; x < icon.width; ++x) {
                    var c = image.pixel(origin.x + x, origin.y + y)
                    if (c.g > c.r + 0.25 && c.g > c.b + 0.1)
                        ++green
                    else if (c.r > c.g + 0.25 && c.r > c.b + 0.25)
                        ++red
                }
            }
            var area = icon.width * icon.height
            verify((data.green ? green : red) > area / 3, "green " + green + ", red " + red + " of " + area)
            compare(data.green ? red : green, 0)
        }

        function test_checkBoxClickFlipsAndReports() {
            var box = createTemporaryObject(checkComponent, stage)
            var spy = spyOn(box, "toggled")
            mouseClick(box)
            verify(box.checked)
            mouseClick(box)
            verify(!box.checked)
            compare(spy.count, 2)
            compare(spy.signalArguments[0][0], true)
            compare(spy.signalArguments[1][0], false)
        }
    }
}
