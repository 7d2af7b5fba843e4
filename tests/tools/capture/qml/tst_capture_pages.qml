// The capture and to-image pages over their real view models: source, frame step and save;
// add, long image and export; a page torn down while its preview plays.
import QtQuick 2.14
import QtQuick.Window 2.14
import QtTest 1.14

Item {
    id: root
    width: 1020
    height: 720

    property var page: null

    function findByName(item, name) {
        if (!item)
            return null
        if (item.objectName === name)
            return item
        var children = item.children || []
        for (var i = 0; i < children.length; ++i) {
            var found = findByName(children[i], name)
            if (found)
                return found
        }
        return null
    }

    // The tool window's sizes: 800x700 for the capture page, 1020x720 for the to-image page.
    function openPage(url) {
        var component = Qt.createComponent(url)
        if (component.status !== Component.Ready)
            console.warn(component.errorString())
        var capture = url.indexOf("video_capture") >= 0
        page = component.createObject(root, { width: capture ? 800 : root.width, height: capture ? 700 : root.height })
        return page
    }

    function saveScreenshot(name) {
        var dir = fileChecks.screenshotDir()
        if (dir.length === 0)
            return
        var image = testCase.grabImage(page)
        image.save(dir + "/" + name)
    }

    TestCase {
        id: testCase
        name: "CapturePages"
        when: windowShown

        function cleanup() {
            if (root.page) {
                root.page.destroy()
                root.page = null
            }
            wait(50)
        }

        function test_captureSourceStepSave() {
            var vm = videoCaptureViewModel
            var page = root.openPage("qrc:/qml/app/tools/video_capture/VideoCaptureWindow.qml")
            verify(page)
            page.startupSourcePath = "file://" + encodeURI(testClipPath)
            tryVerify(function () { return vm.canCapture }, 20000 * tvxTestTimeScale)
            compare(vm.sourceFileName, "preview clip.mp4")
            tryVerify(function () { return page.previewPlayer.hasMedia }, 20000 * tvxTestTimeScale)
            wait(600)
            root.saveScreenshot("video_capture_page.png")

            var field = root.findByName(page, "frameCountField")
            field.text = "10"
            vm.setCaptureTimeSeconds(1)
            mouseClick(root.findByName(page, "stepForwardButton"))
            compare(page.frameStepCount, 10)
            tryVerify(function () { return page.previewPlayer.paused }, 5000 * tvxTestTimeScale)
            // The player may have moved the time on before it paused; one step is 10 frames at 25 fps.
            var before = vm.captureTimeSeconds
            mouseClick(root.findByName(page, "stepBackButton"))
            fuzzyCompare(vm.captureTimeSeconds, Math.max(0, before - 0.4), 0.001)

            mouseClick(root.findByName(page, "saveButton"))
            var dialog = root.findByName(page, "captureResultDialog")
            tryVerify(function () { return dialog.visible }, 20000 * tvxTestTimeScale)
            verify(page.resultDialogIsSuccess, dialog.messageText)
            verify(fileChecks.exists(vm.lastOutputPath))
            compare(page.capturedOutputPath, vm.lastOutputPath)
        }

        function test_toImageAddExport() {
            var vm = videoToImageViewModel
            var page = root.openPage("qrc:/qml/app/tools/video_to_image/VideoToImageWindow.qml")
            verify(page)
            page.consumeStartupSourcePath(testClipPath)
            tryVerify(function () { return vm.canAddToList }, 20000 * tvxTestTimeScale)
            mouseClick(root.findByName(page, "mode_continuous"))
            compare(vm.captureMode, "continuous")
            compare(vm.continuousEndSeconds, vm.durationSeconds)
            mouseClick(root.findByName(page, "addButton"))
            tryVerify(function () { return vm.previewCount === 3 && !vm.addingToListBusy }, 30000 * tvxTestTimeScale)

            var box = root.findByName(page, "longImageCheckBox")
            mouseClick(box)
            verify(vm.outputLongImage)
            verify(box.checked)
            tryVerify(function () { return page.previewPlayer.hasMedia }, 20000 * tvxTestTimeScale)
            wait(400)
            root.saveScreenshot("video_to_image_page.png")

            mouseClick(root.findByName(page, "exportButton"))
            var dialog = root.findByName(page, "toImageResultDialog")
            tryVerify(function () { return dialog.visible }, 30000 * tvxTestTimeScale)
            verify(page.resultDialogIsSuccess, dialog.messageText)
            verify(fileChecks.exists(vm.outputDirectory + "/export_long.png"))
            compare(vm.previewCount, 0)
        }

        // The interval field always shows the stored interval of the current mode: after the user
        // typed one, after a mode switch and when the view model changes it; leaving the field
        // never hands one mode's value to the other.
        function test_toImageIntervalFieldFollowsMode() {
            var vm = videoToImageViewModel
            var page = root.openPage("qrc:/qml/app/tools/video_to_image/VideoToImageWindow.qml")
            vm.setCaptureMode("continuous")
            vm.setContinuousMode("time_interval")
            vm.setTimeIntervalSeconds(1)
            vm.setFrameInterval(5)
            var field = root.findByName(page, "intervalField")
            compare(field.text, "1")

            field.forceActiveFocus()
            field.selectAll()
            keyClick(Qt.Key_2)
            keyClick(Qt.Key_Return)
            compare(vm.timeIntervalSeconds, 2)
            compare(field.text, "2")

            vm.setContinuousMode("frame_interval")
            compare(field.text, "5")
            field.editingFinished()
            compare(vm.frameInterval, 5)

            vm.setFrameInterval(7)
            compare(field.text, "7")
            field.forceActiveFocus()
            field.selectAll()
            keyClick(Qt.Key_0)
            keyClick(Qt.Key_Return)
            compare(vm.frameInterval, 1)
            compare(field.text, "1")

            vm.setContinuousMode("time_interval")
            compare(field.text, "2")
        }

        // A refused add (no valid source) reaches the user as a toast.
        function test_toImageAddFailureToast() {
            var vm = videoToImageViewModel
            var page = root.openPage("qrc:/qml/app/tools/video_to_image/VideoToImageWindow.qml")
            page.consumeStartupSourcePath(fileChecks.scratchPath("media/not_there.mp4"))
            tryVerify(function () { return !vm.probingSource }, 5000 * tvxTestTimeScale)
            page.addToQueue()
            var toast = root.findByName(page, "toImageToast")
            // The refusal sets only the status text; the page shows it once adding is not running.
            vm.addingToListBusyChanged()
            tryCompare(toast, "text", vm.statusMessage, 5000 * tvxTestTimeScale)
            verify(toast.text.length > 0)
        }

        // Torn down while the preview plays: the engine and its surface go without a crash.
        function test_teardownWhilePlaying() {
            var vm = videoCaptureViewModel
            var page = root.openPage("qrc:/qml/app/tools/video_capture/VideoCaptureWindow.qml")
            vm.setSourceFromUrl(fileChecks.scratchPath("media/not_there.mp4"))
            page.consumeStartupSourcePath(testClipPath)
            tryVerify(function () { return page.previewPlayer.hasMedia && !page.previewPlayer.paused }, 20000 * tvxTestTimeScale)
            wait(300)
            page.destroy()
            root.page = null
            wait(300)
        }
    }
}
