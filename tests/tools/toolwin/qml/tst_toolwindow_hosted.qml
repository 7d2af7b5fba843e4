// The tool window as the main window hosts it: every tool opens its page, gets the start-up
// file, and closing the page brings the main window back.
import QtQuick 2.14
import QtQuick.Window 2.14
import QtTest 1.2
import "qrc:/qml/app/tools/ToolRegistry.js" as ToolRegistry

TestCase {
    id: testCase
    name: "ToolWindowHosted"
    when: windowShown

    property var mainWindow: null

    function init() {
        var component = Qt.createComponent("qrc:/qml/main.qml")
        compare(component.status, Component.Ready, component.errorString())
        mainWindow = component.createObject(null, { pageUrl: Qt.resolvedUrl("../../../app/shell/qml/StubPage.qml") })
        verify(mainWindow)
    }

    function cleanup() {
        if (mainWindow) {
            mainWindow.destroy()
            mainWindow = null
        }
        wait(0)
    }

    function test_everyToolOpensItsPage_data() {
        return ToolRegistry.availableTools().map(function (tool) {
            return { tag: tool.toolId, toolId: tool.toolId }
        })
    }

    function test_everyToolOpensItsPage(data) {
        mainWindow.openToolWindow(data.toolId, "file:///tmp/start%20clip.mp4")
        var tool = mainWindow.toolWindow
        verify(tool)
        // The real frame, not the shell's stand-in.
        verify(tool.toolPage !== undefined, "the stand-in tool window was loaded")
        compare(tool.toolId, data.toolId)
        var page = tool.toolPage
        verify(page)
        compare(typeof page.consumeStartupSourcePath, "function")
        compare(typeof page.startupSourcePath, "string")
        verify(page.viewModel === null || typeof page.viewModel === "object")
        // A stand-in page shows the file it was given; a built page receives it as handed over.
        if (page.lastSourcePath !== undefined)
            tryCompare(page, "lastSourcePath", "/tmp/start clip.mp4")
        else
            tryCompare(page, "startupSourcePath", "file:///tmp/start%20clip.mp4")

        page.closeRequested()
        tryCompare(mainWindow, "toolWindow", null)
        compare(mainWindow.visibility, Window.Windowed)
    }

    function test_retargetSwitchesThePageInTheSameWindow() {
        mainWindow.openToolWindow("video-to-text", "/tmp/a.mp4")
        var tool = mainWindow.toolWindow
        tryCompare(tool.toolPage, "lastSourcePath", "/tmp/a.mp4")
        mainWindow.openToolWindow("video-compress", "")
        compare(mainWindow.toolWindow, tool)
        compare(tool.width, 1020)
        wait(0)
        compare(tool.toolPage.titleKey, "tool.video_compress.title")
        compare(tool.toolPage.lastSourcePath, "")
    }
}
