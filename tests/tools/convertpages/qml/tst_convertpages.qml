// Both batch pages in the real tool window over the real view models and ffmpeg: a clip handed
// in is converted to MKV (a playable file, checked with ffprobe), the compress page runs its
// batch, and the outcome dialog, the refused-folder toast and the start texts follow the batch.
import QtQuick 2.14
import QtTest 1.2
import "qrc:/qml/app/tools"
import "qrc:/qml/app/tools/format_convert/components"
import "qrc:/qml/app/tools/video_compress/components"
import "qrc:/qml/shared"

TestCase {
    id: testCase
    name: "ConvertPages"
    when: windowShown

    property var toolWindow: null

    Component {
        id: windowComponent
        ToolWindow {}
    }

    Component {
        id: cardComponent
        FormatConvertTaskCard { width: 600 }
    }

    Component {
        id: compressCardComponent
        VideoCompressTaskCard { width: 600 }
    }

    function findChild(item, name) {
        if (!item)
            return null
        if (item.objectName === name)
            return item
        var kids = item.children
        for (var i = 0; i < kids.length; ++i) {
            var found = findChild(kids[i], name)
            if (found)
                return found
        }
        return null
    }

    function openTool(toolId, outFolder) {
        toolWindow = createTemporaryObject(windowComponent, null, { toolId: toolId })
        verify(toolWindow)
        toolWindow.show()
        tryVerify(function () { return toolWindow.toolPage !== null && toolWindow.toolPage.viewModel !== null }, 5000 * tvxTestTimeScale)
        var vm = toolWindow.toolPage.viewModel
        vm.clearTasks()
        vm.setOutputDirectory(outFolder)
        compare(vm.outputDirectory, outFolder)
        return toolWindow.toolPage
    }

    function clickStart(page) {
        var button = findChild(page, "startButton")
        verify(button)
        tryVerify(function () { return button.canStart }, 10000 * tvxTestTimeScale)
        mouseClick(button)
    }

    function test_1_convertOneClipToMkv() {
        var clip = testHelper.makeClip("e2e source.mp4", 3, "320x240")
        verify(clip.length > 0)
        var outFolder = testHelper.scratch("convert-out/x").replace(/\/x$/, "")
        var page = openTool("format-convert", outFolder)
        var vm = page.viewModel
        var button = findChild(page, "startButton")
        tryCompare(button, "shownText", Tr.t("tool.format_convert.start.idle"), 2000 * tvxTestTimeScale)
        verify(findChild(page, "emptyHint").visible)

        page.consumeStartupSourcePath(clip)
        tryCompare(page.listView, "count", 1, 5000 * tvxTestTimeScale)
        tryVerify(function () { return page.listView.itemAtIndex(0) && page.listView.itemAtIndex(0).sourceResolution === "320x240" }, 10000 * tvxTestTimeScale)
        findChild(page, "outputFormatField").optionSelected("MKV")
        compare(vm.outputFormat, "MKV")

        var dialog = findChild(page, "resultDialog")
        clickStart(page)
        tryCompare(dialog, "visible", true, 60000 * tvxTestTimeScale)
        compare(page.resultDialogIsSuccess, true)
        compare(dialog.messageText, Tr.t("tool.result.dialog.success_summary", { count: 1 }))
        tryCompare(button, "shownText", Tr.t("tool.format_convert.start.idle"), 2000 * tvxTestTimeScale)

        var files = testHelper.filesIn(outFolder)
        compare(files.length, 1)
        verify(/\.mkv$/.test(files[0]), files[0])
        var info = testHelper.probe(outFolder + "/" + files[0])
        compare(info.exitCode, 0)
        verify(String(info.format).indexOf("matroska") >= 0, info.format)
        verify(info.duration > 2.5 && info.duration < 3.5, "duration " + info.duration)
        compare(info.codecs.length, 2)
    }

    function test_2_compressBatchMidwayAndDone() {
        var clips = [testHelper.makeClip("walk 720p a.mp4", 20, "1280x720"),
                     testHelper.makeClip("walk 720p b.mp4", 20, "1280x720")]
        testHelper.writeFile("clips/broken.mp4")
        var outFolder = testHelper.scratch("compress-out/x").replace(/\/x$/, "")
        var page = openTool("video-compress", outFolder)
        var vm = page.viewModel
        vm.addFiles([clips[0], clips[1], testHelper.scratch("clips/broken.mp4")])
        tryCompare(page.listView, "count", 3, 5000 * tvxTestTimeScale)
        tryVerify(function () { return page.listView.itemAtIndex(2) && page.listView.itemAtIndex(2).sourceResolution.indexOf(Tr.t("ui.text.file.damaged")) === 0 }, 10000 * tvxTestTimeScale)
        var button = findChild(page, "startButton")
        clickStart(page)
        tryVerify(function () { return vm.exporting }, 10000 * tvxTestTimeScale)
        tryCompare(button, "shownText", Tr.t("tool.video_compress.start.running"), 2000 * tvxTestTimeScale)
        tryVerify(function () { return page.listView.itemAtIndex(0).progress > 0.3 }, 60000 * tvxTestTimeScale)
        testHelper.saveScreenshot(toolWindow, "video_compress_batch.png")

        var dialog = findChild(page, "resultDialog")
        tryCompare(dialog, "visible", true, 120000 * tvxTestTimeScale)
        compare(dialog.messageText, Tr.t("tool.result.dialog.success_summary", { count: 2 }))
        compare(testHelper.filesIn(outFolder).length, 2)
        tryCompare(button, "shownText", Tr.t("tool.video_compress.start.idle"), 2000 * tvxTestTimeScale)
    }

    function test_3_convertBatchScreenshot() {
        var clips = [testHelper.makeClip("walk 720p a.mp4", 20, "1280x720"),
                     testHelper.makeClip("walk 720p b.mp4", 20, "1280x720"),
                     testHelper.makeClip("e2e source.mp4", 3, "320x240")]
        var outFolder = testHelper.scratch("convert-batch/x").replace(/\/x$/, "")
        var page = openTool("format-convert", outFolder)
        var vm = page.viewModel
        vm.setOutputFormat("MKV")
        vm.setVideoCodec("H.265")
        vm.addFiles(clips)
        tryCompare(page.listView, "count", 3, 5000 * tvxTestTimeScale)
        tryVerify(function () { return page.listView.itemAtIndex(0) && page.listView.itemAtIndex(0).sourceResolution === "1280x720" }, 10000 * tvxTestTimeScale)
        clickStart(page)
        tryVerify(function () { return page.listView.itemAtIndex(0).progress > 0.3 }, 60000 * tvxTestTimeScale)
        testHelper.saveScreenshot(toolWindow, "format_convert_batch.png")
        vm.clearTasks()
        tryVerify(function () { return !vm.exporting }, 10000 * tvxTestTimeScale)
    }

    function test_4_refusedFolderToast() {
        var page = openTool("format-convert", testHelper.scratch("toast-out/x").replace(/\/x$/, ""))
        var before = page.viewModel.outputDirectory
        var file = testHelper.writeFile("toast-plain")
        page.viewModel.setOutputDirectory(file + "/sub")
        compare(page.outputDirectoryToastText, Tr.t("cpp.msg.create_output_directory_failed"))
        verify(findChild(page, "outputDirectoryToast").visible)
        compare(page.viewModel.outputDirectory, before)
        tryCompare(page, "outputDirectoryToastText", "", 5000 * tvxTestTimeScale)
    }

    function test_5_resultDialogForms_data() {
        return [
            { tag: "all done", ok: 3, failed: 0, shown: true, success: true },
            { tag: "one failed", ok: 2, failed: 1, shown: true, success: false },
            { tag: "all cancelled", ok: 0, failed: 0, shown: false, success: false }
        ]
    }

    function test_5_resultDialogForms(data) {
        var page = openTool("video-compress", testHelper.scratch("dialog-out/x").replace(/\/x$/, ""))
        var dialog = findChild(page, "resultDialog")
        page.resultDialogIsSuccess = false
        page.showBatchResult(data.ok, data.failed)
        compare(dialog.visible, data.shown)
        if (!data.shown)
            return
        compare(page.resultDialogIsSuccess, data.success)
        compare(dialog.messageText, data.success
                ? Tr.t("tool.result.dialog.success_summary", { count: data.ok })
                : Tr.t("tool.result.dialog.failed_summary", { success: data.ok, failed: data.failed }))
        compare(dialog.secondaryButtonText, Tr.t(data.success ? "tool.result.dialog.open_folder"
                                                              : "tool.result.dialog.contact_service"))
    }

    function test_6_cardStates_data() {
        return [
            { tag: "waiting", status: 0, progress: 0.4, band: false, text: "" },
            { tag: "running", status: 1, progress: 0.426, band: true, text: "43%" },
            { tag: "done", status: 2, progress: 1, band: true, text: "100%" },
            { tag: "failed", status: 3, progress: 0.2, band: true, text: Tr.t("tool.common.export_failed") },
            { tag: "cancelled", status: 4, progress: 0.5, band: false, text: "" }
        ]
    }

    function test_6_cardStates(data) {
        var card = createTemporaryObject(cardComponent, testCase, { status: data.status, progress: data.progress })
        verify(card)
        compare(card.isRunning || card.isCompleted || card.isFailed, data.band)
        var label = data.status === 1 ? card.progressPercent + "%" : data.status === 2 ? "100%"
                  : data.status === 3 ? Tr.t("tool.common.export_failed") : ""
        compare(label, data.text)
        var removed = []
        card.itemIndex = 4
        card.removeRequested.connect(function (row) { removed.push(row) })
        findChild(card, "removeArea").clicked(null)
        compare(removed, [4])
    }

    // A damaged source replaces the format line on both cards; the compress card shows the
    // size and the mode line otherwise.
    function test_7_damagedAndCompressCard() {
        var marker = Tr.t("ui.text.file.damaged") + "，无法解析"
        var card = createTemporaryObject(compressCardComponent, testCase,
                                         { sourceResolution: "1280x720", fileSizeText: "15.7MB",
                                           compressionModeLabel: "平衡模式", compressionRatioText: "70%",
                                           targetSizeLabel: "预估大小:  ", targetSizeText: "11.0MB" })
        compare(card.sourceSecondaryValue, "15.7MB")
        compare(card.parseErrorText, "")
        compare(card.extraInfoText, "压缩方式: 平衡模式    压缩比例: 70%")
        compare(card.height, 116)
        card.sourceResolution = marker
        compare(card.parseErrorText, marker)
        compare(card.sourceSecondaryValue, marker)
        compare(card.displayDurationText, Tr.t("ui.text.file.damaged"))
        compare(card.height, 96)
    }

    // The ratio's labels and tip are readable, and neither the knob at the recommended ratio
    // nor any of them covers another.
    function test_8_ratioLabelsClearOfTheKnob() {
        var page = openTool("video-compress", testHelper.scratch("ratio-out/x").replace(/\/x$/, ""))
        page.viewModel.setCompressionRatio(page.recommendedRatio)
        var slider = findChild(page, "ratioSlider")
        tryCompare(slider, "value", page.recommendedRatio, 5000 * tvxTestTimeScale)
        var boxOf = function (item) {
            var at = item.mapToItem(page, 0, 0)
            return { x: at.x, y: at.y, w: item.width, h: item.height }
        }
        var boxes = { knob: boxOf(slider.handle) }
        var names = ["ratioLowLabel", "ratioRecommendedLabel", "ratioHighLabel", "ratioTip"]
        for (var i = 0; i < names.length; ++i) {
            var label = findChild(page, names[i])
            verify(label, names[i])
            verify(label.font.pixelSize >= Theme.fontSmall, names[i] + " is " + label.font.pixelSize + " px")
            boxes[names[i]] = boxOf(label)
        }
        var keys = Object.keys(boxes)
        for (var a = 0; a < keys.length; ++a) {
            for (var b = a + 1; b < keys.length; ++b) {
                var p = boxes[keys[a]]
                var q = boxes[keys[b]]
                var apart = p.x >= q.x + q.w || p.x + p.w <= q.x || p.y >= q.y + q.h || p.y + p.h <= q.y
                verify(apart, keys[a] + " " + JSON.stringify(p) + " covers " + keys[b] + " " + JSON.stringify(q))
            }
        }
    }
}
