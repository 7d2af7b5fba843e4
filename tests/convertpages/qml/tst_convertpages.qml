// Both batch pages in the real tool window over the real view models and ffmpeg: a clip handed
// in is converted to MKV (a playable file, checked with ffprobe), the compress page runs its
// batch, and the outcome dialog, the refused-folder toast and the start texts follow the batch.
import QtQuick 2.14
import QtTest 1.2
import "qrc:/qml/app/tools"
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
        tryVerify(function () { return toolWindow.toolPage !== null && toolWindow.toolPage.viewModel !== null }, 5000)
        var vm = toolWindow.toolPage.viewModel
        vm.clearTasks()
        vm.setOutputDirectory(outFolder)
        compare(vm.outputDirectory, outFolder)
        return toolWindow.toolPage
    }

    function clickStart(page) {
        var button = findChild(page, "startButton")
        verify(button)
        tryVerify(function () { return button.canStart }, 10000)
        mouseClick(button)
    }

    function test_1_convertOneClipToMkv() {
        var clip = testHelper.makeClip("e2e source.mp4", 3, "320x240")
        verify(clip.length > 0)
        var outFolder = testHelper.scratch("convert-out/x").replace(/\/x$/, "")
        var page = openTool("format-convert", outFolder)
        var vm = page.viewModel
        var button = findChild(page, "startButton")
        tryCompare(button, "shownText", Tr.t("tool.format_convert.start.idle"), 2000)
        verify(findChild(page, "emptyHint").visible)

        page.consumeStartupSourcePath(clip)
        tryCompare(page.listView, "count", 1)
        tryVerify(function () { return page.listView.itemAtIndex(0) && page.listView.itemAtIndex(0).sourceResolution === "320x240" }, 10000)
        findChild(page, "outputFormatField").optionSelected("MKV")
        compare(vm.outputFormat, "MKV")

        var dialog = findChild(page, "resultDialog")
        clickStart(page)
        tryCompare(dialog, "visible", true, 60000)
        compare(page.resultDialogIsSuccess, true)
        compare(dialog.messageText, Tr.t("tool.result.dialog.success_summary", { count: 1 }))
        tryCompare(button, "shownText", Tr.t("tool.format_convert.start.idle"), 2000)

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
        tryCompare(page.listView, "count", 3)
        tryVerify(function () { return page.listView.itemAtIndex(2) && page.listView.itemAtIndex(2).sourceResolution.indexOf(Tr.t("ui.text.file.damaged")) === 0 }, 10000)
        var button = findChild(page, "startButton")
        clickStart(page)
        tryVerify(function () { return vm.exporting }, 10000)
        tryCompare(button, "shownText", Tr.t("tool.video_compress.start.running"), 2000)
        tryVerify(function () { return page.listView.itemAtIndex(0).progress > 0.3 }, 60000)
        testHelper.saveScreenshot(toolWindow, "video_compress_batch.png")

        var dialog = findChild(page, "resultDialog")
        tryCompare(dialog, "visible", true, 120000)
        compare(dialog.messageText, Tr.t("tool.result.dialog.success_summary", { count: 2 }))
        compare(testHelper.filesIn(outFolder).length, 2)
        tryCompare(button, "shownText", Tr.t("tool.video_compress.start.idle"), 2000)
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
        tryCompare(page.listView, "count", 3)
        tryVerify(function () { return page.listView.itemAtIndex(0) && page.listView.itemAtIndex(0).sourceResolution === "1280x720" }, 10000)
        clickStart(page)
        tryVerify(function () { return page.listView.itemAtIndex(0).progress > 0.3 }, 60000)
        testHelper.saveScreenshot(toolWindow, "format_convert_batch.png")
        vm.clearTasks()
        tryVerify(function () { return !vm.exporting }, 10000)
    }

    function test_4_refusedFolderToast() {
        var page = openTool("format-convert", testHelper.scratch("toast-out/x").replace(/\/x$/, ""))
        var before = page.viewModel.outputDirectory
        var file = testHelper.writeFile("toast-plain")
        page.viewModel.setOutputDirectory(file + "/sub")
        compare(page.outputDirectoryToastText, Tr.t("cpp.msg.create_output_directory_failed"))
        verify(findChild(page, "outputDirectoryToast").visible)
        compare(page.viewModel.outputDirectory, before)
        tryCompare(page, "outputDirectoryToastText", "", 5000)
    }
}
