// Tool window: page loading and start-up hand-over, dropped files, and the title bar's move
// threshold.
import QtQuick 2.14
import QtTest 1.2
import "qrc:/qml/app/tools"

Item {
    width: 400
    height: 200

    // Input reaches only visible items, and a TestCase is invisible.
    Item {
        id: stage
        anchors.fill: parent
    }

    TestCase {
        id: testCase
        name: "ToolWindow"
        when: windowShown

        Component {
            id: windowComponent
            ToolWindow {}
        }

        Component {
            id: titleBarComponent
            ToolWindowTitleBar {
                width: 300
                height: 46
            }
        }

        Component {
            id: fakeWindowComponent
            // A window on a platform whose window manager cannot move it.
            QtObject {
                property real x: 100
                property real y: 50
                function startSystemMove() { return false }
            }
        }

        function fakeDrag(urls) {
            return {
                urls: urls,
                accepted: true,
                proposedActionAccepted: false,
                acceptProposedAction: function () { this.proposedActionAccepted = true }
            }
        }

        function createWindow(properties) {
            var window = createTemporaryObject(windowComponent, testCase, properties)
            verify(window !== null)
            return window
        }

        function loadFakePage(window, fileName) {
            var loader = findChild(window.contentItem, "toolPageLoader")
            loader.source = Qt.resolvedUrl(fileName)
            compare(loader.status, 1 /* Loader.Ready */)
            tryCompare(window, "pageHandOverPending", false)
            return loader.item
        }

        function test_sizeAndTitleFromTheRegistry_data() {
            return [
                { tag: "capture", toolId: "video-capture", width: 800, height: 700, minWidth: 800, minHeight: 600 },
                { tag: "format convert", toolId: "format-convert", width: 1020, height: 720, minWidth: 980, minHeight: 600 },
                { tag: "unknown tool", toolId: "video-upscale", width: 1020, height: 720, minWidth: 980, minHeight: 600 }
            ]
        }

        function test_sizeAndTitleFromTheRegistry(data) {
            var window = createWindow({ toolId: data.toolId })
            compare(window.width, data.width)
            compare(window.height, data.height)
            compare(window.minimumWidth, data.minWidth)
            compare(window.minimumHeight, data.minHeight)
            compare(window.toolPage !== null, window.toolConfig !== null)
            if (window.toolConfig === null)
                compare(window.title, Qt.application.name)
        }

        function test_batchPageGetsTheStartupFileAsLocalPath() {
            var window = createWindow({ toolId: "video-to-text", startupSourcePath: "file:///tmp/my%20clip.mp4" })
            verify(window.toolPage !== null)
            tryCompare(window.toolPage, "lastSourcePath", "/tmp/my clip.mp4")
            window.startupSourcePath = "/srv/other.mkv"
            compare(window.toolPage.lastSourcePath, "/srv/other.mkv")
        }

        function test_retargetWithoutPathHandsNoStaleFile() {
            var window = createWindow({ toolId: "video-to-text", startupSourcePath: "/tmp/a.mp4" })
            tryCompare(window.toolPage, "lastSourcePath", "/tmp/a.mp4")
            // What the main window does for a new request without a file.
            window.toolId = "video-capture"
            window.startupSourcePath = ""
            var page = window.toolPage
            wait(0)
            compare(window.toolPage, page)
            compare(page.startupSourcePath, "")
            compare(page.frameStepCount, 1)
        }

        function test_loadedPageGetsThePathSetAfterTheToolId() {
            var window = createWindow({ toolId: "video-capture" })
            window.toolId = "video-to-text"
            window.startupSourcePath = "file:///tmp/b%20c.mkv"
            tryCompare(window.toolPage, "lastSourcePath", "/tmp/b c.mkv")
        }

        function test_laterStartupPathReachesTheLoadedPage() {
            var window = createWindow({ toolId: "video-capture" })
            var page = loadFakePage(window, "FakeSingleFilePage.qml")
            window.startupSourcePath = "file:///tmp/a.mp4"
            compare(page.consumed, ["file:///tmp/a.mp4"])
        }

        function test_dropOnBatchPageDecodesEveryFile() {
            var window = createWindow({ toolId: "format-convert" })
            var page = loadFakePage(window, "FakeBatchPage.qml")
            var drop = fakeDrag(["file:///home/u/My%20Clip.mp4", "https://example.com/b.mp4",
                                 "file:///home/u/%E4%B8%AD.mkv"])
            window.handleDropped(drop)
            compare(page.viewModel.addedBatches.length, 1)
            compare(page.viewModel.addedBatches[0], ["/home/u/My Clip.mp4", "/home/u/\u4E2D.mkv"])
            verify(drop.proposedActionAccepted)
            compare(page.consumed, [])
            verify(!window.dragActive)
        }

        function test_dropOnSingleFilePageTakesTheFirstFile() {
            var window = createWindow({ toolId: "video-capture" })
            var page = loadFakePage(window, "FakeSingleFilePage.qml")
            var drop = fakeDrag(["file:///tmp/first.mp4", "file:///tmp/second.mp4"])
            window.handleDropped(drop)
            compare(page.consumed, ["/tmp/first.mp4"])
            verify(drop.proposedActionAccepted)
        }

        function test_dropReachesTheRealVideoToTextPage() {
            var window = createWindow({ toolId: "video-to-text" })
            window.handleDropped(fakeDrag(["file:///tmp/a%20b.mp4"]))
            compare(window.toolPage.lastSourcePath, "/tmp/a b.mp4")
        }

        function test_webLinksAreRefused() {
            var window = createWindow({ toolId: "format-convert" })
            var page = loadFakePage(window, "FakeBatchPage.qml")
            var drag = fakeDrag(["https://example.com/a.mp4", "http://example.com/b.mkv"])
            window.handleDragEntered(drag)
            verify(!drag.accepted)
            verify(!window.dragActive)
            window.handleDropped(drag)
            verify(!drag.proposedActionAccepted)
            compare(page.viewModel.addedBatches.length, 0)
        }

        function test_dragStateFollowsEnterAndExit() {
            var window = createWindow({ toolId: "format-convert" })
            var drag = fakeDrag(["https://example.com/a.mp4", "file:///tmp/a.mp4"])
            window.handleDragEntered(drag)
            verify(drag.accepted)
            verify(window.dragActive)
            compare(window.droppedFiles, ["file:///tmp/a.mp4"])
            window.handleDragExited()
            verify(!window.dragActive)
        }

        function test_dropWithoutPageIsNotAccepted() {
            var window = createWindow({ toolId: "" })
            var drop = fakeDrag(["file:///tmp/a.mp4"])
            window.handleDropped(drop)
            verify(!drop.proposedActionAccepted)
        }

        function test_pageCloseRequestClosesTheWindowOnce() {
            var window = createWindow({ toolId: "video-to-text" })
            var spy = createTemporaryQmlObject("import QtTest 1.2; SignalSpy { signalName: \"closeRequested\" }", testCase)
            spy.target = window
            window.toolPage.closeRequested()
            compare(spy.count, 1)
            verify(!window.visible)
        }

        function test_titleBarThreshold_data() {
            return [
                { tag: "2 px right", dx: 2, dy: 0, starts: false },
                { tag: "2 px both ways", dx: -2, dy: 2, starts: false },
                { tag: "3 px right", dx: 3, dy: 0, starts: true },
                { tag: "3 px up", dx: 0, dy: -3, starts: true }
            ]
        }

        function test_titleBarThreshold(data) {
            var target = createTemporaryObject(fakeWindowComponent, testCase)
            var bar = createTemporaryObject(titleBarComponent, stage, { targetWindow: target })
            var area = findChild(bar, "titleBarDragArea")
            mousePress(area, 40, 20)
            mouseMove(area, 40 + data.dx, 20 + data.dy, -1, Qt.LeftButton)
            compare(bar.dragActive, data.starts)
            compare(target.x, 100)
            compare(target.y, 50)
            if (data.starts) {
                // The window then follows the pointer's travel from where the move began.
                mouseMove(area, 40 + data.dx + 25, 20 + data.dy + 7, -1, Qt.LeftButton)
                compare(target.x, 125)
                compare(target.y, 57)
            }
            mouseRelease(area, 40 + data.dx, 20 + data.dy)
            verify(!bar.dragActive)
        }

        function test_titleBarCloseButton() {
            var bar = createTemporaryObject(titleBarComponent, stage, { titleText: "T" })
            var spy = createTemporaryQmlObject("import QtTest 1.2; SignalSpy { signalName: \"closeRequested\" }", testCase)
            spy.target = bar
            mouseClick(findChild(bar, "toolTitleBarClose"))
            compare(spy.count, 1)
        }
    }
}
