// The video-to-text page over a recording view model: start-up and dropped files, the action
// buttons and pickers, the option rows, the job cards, the start button, the refused-folder toast
// and the result dialog.
import QtQuick 2.14
import QtTest 1.2
import "qrc:/qml/app/tools"
import "qrc:/qml/app/tools/video_to_text"
import "qrc:/qml/shared"

Item {
    id: root
    width: 1020
    height: 720

    Component {
        id: pageComponent
        VideoToTextWindow {
            width: 1020
            height: 720
        }
    }

    Component {
        id: windowComponent
        ToolWindow {}
    }

    TestCase {
        id: testCase
        name: "VideoToTextPage"
        when: windowShown

        readonly property var vm: Guard.object("videoToTextViewModel")

        function init() {
            vm.reset()
            fileDialogService.files = []
            fileDialogService.folder = ""
            systemActions.customerServiceCalls = []
        }

        function createPage() {
            var page = createTemporaryObject(pageComponent, root)
            verify(page !== null)
            return page
        }

        function row(fields) {
            var base = { taskId: "t", sourcePath: "/tmp/a.mp4", fileName: "a.mp4", fileSizeText: "1.0M",
                         sourceFormat: "MP4", sourceResolution: "Auto", targetFormat: "TXT",
                         targetLanguage: "中文", status: 0, progress: 0, message: "" }
            for (var key in fields)
                base[key] = fields[key]
            return base
        }

        function test_startupFileThroughTheToolWindow_data() {
            return [
                { tag: "escaped URL", given: "file:///tmp/my%20clip%E4%B8%AD.mp4", added: "/tmp/my clip\u4E2D.mp4" },
                { tag: "plain path", given: "/srv/v/a.mkv", added: "/srv/v/a.mkv" }
            ]
        }

        function test_startupFileThroughTheToolWindow(data) {
            var window = createTemporaryObject(windowComponent, testCase, { toolId: "video-to-text", startupSourcePath: data.given })
            verify(window !== null)
            tryVerify(function () { return window.toolPage !== null && window.toolPage.viewModel === vm })
            tryVerify(function () { return vm.calls.length > 0 })
            // The window both sets the page's path and hands it over; each reaches the view
            // model as a local path, which refuses the repeat.
            for (var i = 0; i < vm.calls.length; ++i)
                compare(vm.calls[i], "addFiles(" + data.added + ")")
            compare(window.width, 1020)
            compare(window.minimumWidth, 980)
            compare(window.minimumHeight, 600)
        }

        function test_droppedFilesReachTheViewModel() {
            var window = createTemporaryObject(windowComponent, testCase, { toolId: "video-to-text" })
            tryVerify(function () { return window.toolPage !== null })
            window.handleDropped({ urls: ["file:///home/u/A%20b.mp4", "https://example.com/x.mp4", "file:///home/u/c.mkv"],
                                   accepted: true, acceptProposedAction: function () {} })
            compare(vm.calls, ["addFiles(/home/u/A b.mp4|/home/u/c.mkv)"])
        }

        function test_pageFunctions() {
            var page = createPage()
            compare(page.toLocalPath(""), "")
            compare(page.toLocalPath("file:///tmp/a%20b.mp4"), "/tmp/a b.mp4")
            compare(page.toLocalPath("C:/v/a.mp4"), "C:/v/a.mp4")
            compare(page.localizedStartButtonText("转换中..."), "转换中...")
            compare(page.localizedStartButtonText("添加文件"), "转换")
            compare(page.localizedStartButtonText("转换"), "转换")
        }

        function test_actionButtons() {
            var page = createPage()
            fileDialogService.files = ["file:///tmp/a.mp4", "file:///tmp/b.mkv"]
            fileDialogService.folder = "file:///tmp/clips"
            mouseClick(findChild(page, "addFileButton"))
            mouseClick(findChild(page, "addFolderButton"))
            mouseClick(findChild(page, "clearListButton"))
            compare(vm.calls, ["addFiles(file:///tmp/a.mp4|file:///tmp/b.mkv)",
                               "addFolder(file:///tmp/clips)", "clearTasks()"])
            compare(findChild(page, "addFileButton").text, "添加文件")
            compare(findChild(page, "addFolderButton").text, "添加文件夹")
            compare(findChild(page, "clearListButton").text, "清空")
        }

        function test_cancelledPickersCallNothing() {
            var page = createPage()
            mouseClick(findChild(page, "addFileButton"))
            mouseClick(findChild(page, "addFolderButton"))
            page.chooseOutputDirectory()
            compare(vm.calls, [])
        }

        function test_chooseOutputDirectoryDecodesTheUrl() {
            var page = createPage()
            fileDialogService.folder = "file:///home/u/My%20Texts"
            page.chooseOutputDirectory()
            compare(vm.calls, ["setOutputDirectory(/home/u/My Texts)"])
        }

        function test_optionRows() {
            var page = createPage()
            var formats = findChild(page, "outputFormatRow")
            var languages = findChild(page, "recognitionLanguageRow")
            verify(findChild(formats, "option:TXT").checked)
            verify(!findChild(formats, "option:WORD").checked)
            verify(findChild(languages, "option:中文").checked)
            mouseClick(findChild(formats, "option:WORD"))
            mouseClick(findChild(languages, "option:其他语种"))
            compare(vm.calls, ["setOutputFormat(WORD)", "setRecognitionLanguage(其他语种)"])
            verify(findChild(formats, "option:WORD").checked)
            verify(!findChild(formats, "option:TXT").checked)
            verify(findChild(languages, "option:其他语种").checked)
            compare(findChild(page, "outputDirectoryText").text, "/tmp/v2t-out")
        }

        function test_cards_data() {
            return [
                { tag: "waiting", fields: { sourceResolution: "Auto" }, parseError: "", statusText: "" },
                { tag: "probed", fields: { sourceResolution: "1920x1080", targetFormat: "SRT", targetLanguage: "English" },
                  parseError: "", statusText: "" },
                { tag: "damaged", fields: { sourceResolution: "文件损坏，无法解析" }, parseError: "文件损坏，无法解析", statusText: "" },
                { tag: "running", fields: { status: 1, progress: 0.426 }, parseError: "", statusText: "43%" },
                { tag: "done", fields: { status: 2, progress: 1 }, parseError: "", statusText: "100%" },
                { tag: "failed", fields: { status: 3, progress: 0.2 }, parseError: "", statusText: "导出失败" }
            ]
        }

        function test_cards(data) {
            vm.addRow(row(data.fields))
            var page = createPage()
            tryCompare(page.listView, "count", 1)
            var card = page.listView.itemAtIndex(0)
            verify(card)
            compare(card.parseErrorText, data.parseError)
            compare(card.targetResolution, data.fields.targetLanguage || "中文")
            compare(card.targetSecondaryLabel, "语种:  ")
            compare(card.sourceResolution, data.fields.sourceResolution || "Auto")
            verify(!findChild(page, "emptyHint").visible)
            var texts = []
            collectTexts(card, texts)
            if (data.statusText.length > 0)
                verify(texts.indexOf(data.statusText) >= 0, texts.join(" / "))
            if (data.parseError.length === 0) {
                var line = texts.filter(function (t) { return t.indexOf("语种:  ") >= 0 })
                compare(line.length, 1)
                verify(line[0].indexOf(card.sourceResolution) >= 0, line[0])
            }
            mouseClick(findChild(card, "removeArea"))
            compare(vm.calls, ["removeTask(0)"])
        }

        function collectTexts(item, out) {
            if (item.hasOwnProperty("text") && item.visible && typeof item.text === "string" && item.text.length > 0)
                out.push(item.text)
            for (var i = 0; i < item.children.length; ++i)
                collectTexts(item.children[i], out)
        }

        function test_emptyListAndStartButton() {
            var page = createPage()
            var hint = findChild(page, "emptyHint")
            verify(hint.visible)
            compare(hint.text, "请先添加需要转文字的视频文件")
            var button = findChild(page, "startButton")
            compare(button.shownText, "转换")
            verify(!button.canStart)
            mouseClick(button)
            compare(vm.calls, [])

            vm.setStartState(true, false, "转换")
            verify(button.canStart)
            mouseClick(button)
            compare(vm.calls, ["startTasks()"])
            vm.setStartState(false, true, "转换中...")
            compare(button.shownText, "转换中...")
            verify(!button.canStart)
        }

        function test_resultDialog_data() {
            return [
                { tag: "successes only", ok: 2, failed: 0, reason: "", shown: true, success: true,
                  message: "转换完成，成功 2 项。", second: "打开文件夹" },
                { tag: "with a failure", ok: 1, failed: 1, reason: "", shown: true, success: false,
                  message: "转换完成，成功 1 项，失败 1 项。", second: "联系客服" },
                { tag: "failures say why", ok: 0, failed: 2, reason: "Network error: Could not connect",
                  shown: true, success: false,
                  message: "转换完成，成功 0 项，失败 2 项。\nNetwork error: Could not connect", second: "联系客服" },
                { tag: "nothing", ok: 0, failed: 0, reason: "", shown: false },
                { tag: "missing counts", ok: undefined, failed: undefined, reason: "", shown: false }
            ]
        }

        function test_resultDialog(data) {
            var page = createPage()
            var dialog = findChild(page, "resultDialog")
            verify(!dialog.visible)
            vm.finishBatch(data.ok, data.failed, data.reason)
            compare(dialog.visible, data.shown)
            if (!data.shown)
                return
            compare(page.resultDialogIsSuccess, data.success)
            compare(dialog.titleText, "任务提示")
            compare(dialog.messageText, data.message)
            compare(dialog.secondaryButtonText, data.second)
            verify(dialog.secondaryButtonVisible)
            compare(dialog.iconSource, data.success ? "qrc:/assets/icons/status_success.svg"
                                                    : "qrc:/assets/icons/status_error.svg")
            if (!data.success) {
                // What the dialog's second button reports (its own click is the dialog's test).
                dialog.secondaryClicked()
                compare(systemActions.customerServiceCalls.length, 1)
                compare(systemActions.customerServiceCalls[0], "")
                verify(!dialog.visible)
            } else {
                dialog.primaryClicked()
                verify(!dialog.visible)
            }
        }

        function test_refusedFolderToast() {
            var page = createPage()
            var toast = findChild(page, "outputDirectoryToast")
            verify(!toast.visible)
            vm.refuseFolder("无法创建输出目录")
            verify(toast.visible)
            compare(page.outputDirectoryToastText, "无法创建输出目录")
            var timer = findTimer(page)
            verify(timer.running)
            compare(timer.interval, 2800)
            vm.refuseFolder("输出目录不可写")
            compare(page.outputDirectoryToastText, "输出目录不可写")
            verify(timer.running)
            // The folder field still shows the folder in use.
            compare(findChild(page, "outputDirectoryText").text, "/tmp/v2t-out")
            tryCompare(page, "outputDirectoryToastText", "", 6000)
            verify(!toast.visible)
        }

        function findTimer(page) {
            for (var i = 0; i < page.resources.length; ++i) {
                var r = page.resources[i]
                if (r && r.hasOwnProperty("interval") && r.hasOwnProperty("repeat"))
                    return r
            }
            return null
        }

        function test_closeRequest() {
            var page = createPage()
            var spy = createTemporaryQmlObject("import QtTest 1.2; SignalSpy { signalName: \"closeRequested\" }", testCase)
            spy.target = page
            mouseClick(findChild(page, "toolTitleBarClose"))
            compare(spy.count, 1)
        }
    }
}
