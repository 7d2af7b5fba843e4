// The video-to-text page in the real tool window over the real view model, job queue, Debian
// ffmpeg and the program's cloud client talking TLS to the loopback cloud server: a batch
// converts and leaves the server's text beside the other outputs while a damaged file stays out
// of it; a refused sign-in and an unreachable host fail every job, and the page says why.
import QtQuick 2.14
import QtTest 1.2
import "qrc:/qml/app/tools"
import "qrc:/qml/shared"

TestCase {
    id: testCase
    name: "VideoToTextEndToEnd"
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

    function openTool(outFolder) {
        toolWindow = createTemporaryObject(windowComponent, null, { toolId: "video-to-text" })
        verify(toolWindow)
        toolWindow.show()
        tryVerify(function () { return toolWindow.toolPage !== null && toolWindow.toolPage.viewModel !== null }, 5000 * tvxTestTimeScale)
        var vm = toolWindow.toolPage.viewModel
        vm.clearTasks()
        vm.setOutputDirectory(outFolder)
        compare(vm.outputDirectory, outFolder)
        return toolWindow.toolPage
    }

    function cardAt(page, row) {
        return page.listView.itemAtIndex(row)
    }

    function test_1_batchConvertsAndSavesTheServersText() {
        var clips = [v2tHelper.makeClip("interview 720p.mp4", 4, "1280x720"),
                     v2tHelper.makeClip("lecture.mkv", 3, "640x360")]
        verify(clips[0].length > 0 && clips[1].length > 0)
        var broken = v2tHelper.writeFile("clips/broken.mp4", "not a video")
        var outFolder = v2tHelper.scratch("out/x").replace(/\/x$/, "")
        v2tHelper.serveConversion()
        var page = openTool(outFolder)
        var vm = page.viewModel
        var button = findChild(page, "startButton")
        compare(button.shownText, "转换")
        verify(!button.canStart)

        page.consumeStartupSourcePath(clips[0])
        page.consumeStartupSourcePath(clips[0])
        vm.addFiles([clips[1], broken])
        tryCompare(page.listView, "count", 3, 5000 * tvxTestTimeScale)
        tryVerify(function () { return cardAt(page, 0) && cardAt(page, 0).sourceResolution === "1280x720" }, 20000 * tvxTestTimeScale)
        tryVerify(function () { return cardAt(page, 1) && cardAt(page, 1).sourceResolution === "640x360" }, 20000 * tvxTestTimeScale)
        tryVerify(function () { return cardAt(page, 2) && cardAt(page, 2).parseErrorText === "文件损坏，无法解析" }, 20000 * tvxTestTimeScale)
        vm.setRecognitionLanguage("English")
        compare(cardAt(page, 0).targetResolution, "English")

        tryVerify(function () { return button.canStart }, 5000 * tvxTestTimeScale)
        mouseClick(button)
        tryVerify(function () { return vm.exporting }, 20000 * tvxTestTimeScale)
        tryCompare(button, "shownText", "转换中...", 2000 * tvxTestTimeScale)
        // The server keeps saying "still converting" until the test lets it finish.
        tryVerify(function () { return cardAt(page, 0).progress > 0.3 }, 30000 * tvxTestTimeScale)
        tryVerify(function () { return cardAt(page, 0).thumbnailSource.length > 0 && cardAt(page, 1).thumbnailSource.length > 0 }, 20000 * tvxTestTimeScale)
        waitForRendering(page)
        v2tHelper.saveScreenshot(toolWindow, "video_to_text_batch.png")
        v2tHelper.finishConversion()

        var dialog = findChild(page, "resultDialog")
        tryCompare(dialog, "visible", true, 60000 * tvxTestTimeScale)
        compare(page.resultDialogIsSuccess, true)
        compare(dialog.messageText, "转换完成，成功 2 项。")
        compare(dialog.secondaryButtonText, "打开文件夹")
        compare(cardAt(page, 2).status, 0)
        tryCompare(button, "shownText", "转换", 2000 * tvxTestTimeScale)
        compare(v2tHelper.requestsTo("/api/v4/uploadpointmerge"), 2)

        var files = v2tHelper.filesIn(outFolder)
        compare(files, ["interview 720p.txt", "lecture.txt"])
        for (var i = 0; i < files.length; ++i)
            compare(v2tHelper.readText(outFolder + "/" + files[i]), "大家好，这是服务器识别出的文字。\n")
        dialog.closeDialog()
    }

    // Starts the listed jobs and waits for the outcome; returns the result dialog.
    function runToFailure(page) {
        var button = findChild(page, "startButton")
        tryVerify(function () { return button.canStart }, 20000 * tvxTestTimeScale)
        mouseClick(button)
        var dialog = findChild(page, "resultDialog")
        tryCompare(dialog, "visible", true, 60000 * tvxTestTimeScale)
        compare(page.resultDialogIsSuccess, false)
        compare(dialog.secondaryButtonText, "联系客服")
        return dialog
    }

    function test_2_signedOutFailsEveryJobAndSaysWhy() {
        v2tHelper.refuseSignedOut("请先登录")
        var outFolder = v2tHelper.scratch("out-signed-out/x").replace(/\/x$/, "")
        var page = openTool(outFolder)
        var vm = page.viewModel
        vm.addFiles([v2tHelper.makeClip("lecture.mkv", 3, "640x360"), v2tHelper.makeClip("interview 720p.mp4", 4, "1280x720")])
        tryCompare(page.listView, "count", 2, 5000 * tvxTestTimeScale)
        var dialog = runToFailure(page)
        var lines = dialog.messageText.split("\n")
        compare(lines[0], "转换完成，成功 0 项，失败 2 项。")
        verify(lines.length === 2 && lines[1].indexOf("请先登录") >= 0, dialog.messageText)
        compare(cardAt(page, 0).status, 3)
        compare(cardAt(page, 1).status, 3)
        compare(v2tHelper.errorCodeAt(0), "create_task_failed")
        compare(v2tHelper.filesIn(outFolder), [])
        var button = findChild(page, "startButton")
        compare(button.shownText, "转换")
        verify(!button.canStart)
        dialog.closeDialog()

        // A new choice brings the failed jobs back for another try.
        vm.setOutputFormat("SRT")
        compare(cardAt(page, 0).status, 0)
        verify(button.canStart)
    }

    function test_3_unreachableHostFailsAndSaysWhy() {
        v2tHelper.stopServer()
        var outFolder = v2tHelper.scratch("out-unreachable/x").replace(/\/x$/, "")
        var page = openTool(outFolder)
        page.viewModel.addFiles([v2tHelper.makeClip("lecture.mkv", 3, "640x360")])
        tryCompare(page.listView, "count", 1, 5000 * tvxTestTimeScale)
        var dialog = runToFailure(page)
        var lines = dialog.messageText.split("\n")
        compare(lines[0], "转换完成，成功 0 项，失败 1 项。")
        verify(lines.length === 2 && lines[1].length > 0, dialog.messageText)
        compare(v2tHelper.errorCodeAt(0), "create_task_failed")
        dialog.closeDialog()
    }
}
