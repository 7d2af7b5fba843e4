// The main window with its context objects: catalog title, start-up file, single-instance
// hand-off and the screen's available size.
import QtQuick 2.14
import QtQuick.Window 2.14
import QtTest 1.2

TestCase {
    id: testCase
    name: "MainWindowContext"
    when: windowShown

    property var mainWindow: null

    function init() {
        var component = Qt.createComponent("qrc:/qml/main.qml")
        compare(component.status, Component.Ready, component.errorString())
        mainWindow = component.createObject(null, { pageUrl: Qt.resolvedUrl("../qml/StubPage.qml") })
        verify(mainWindow)
        tryVerify(function () { return mainWindow.pageItem !== null })
    }

    function cleanup() {
        if (mainWindow) {
            mainWindow.destroy()
            mainWindow = null
        }
        wait(0)
    }

    function test_titleAndStartupFile() {
        compare(mainWindow.titleSlogan, "<ui.text.window.title_slogan>")
        compare(mainWindow.title, Qt.application.name + " - <ui.text.window.title_slogan>")
        var page = mainWindow.pageItem
        compare(page.windowTitle, mainWindow.title)
        compare(page.titleSlogan, mainWindow.titleSlogan)
        compare(mainWindow.startupMediaFileUrl, "file:///tmp/start%20up.mp4")
        compare(page.startupMediaFileUrl, "file:///tmp/start%20up.mp4")
        compare(page.lastOpenedPath, "/tmp/start up.mp4")
    }

    // Neither the first size nor the minimum of the main window or a tool window is larger than
    // the screen's available area; what fits already is kept.
    function test_firstSizeFitsTheScreen_data() {
        return [
            { tag: "main window", toolId: "", size: [960, 526], minimum: [960, 526] },
            { tag: "format convert", toolId: "format-convert", size: [960, 526], minimum: [960, 526] },
            { tag: "capture", toolId: "video-capture", size: [800, 526], minimum: [800, 526] }
        ]
    }
    function test_firstSizeFitsTheScreen(data) {
        var window = mainWindow
        if (data.toolId.length > 0) {
            mainWindow.openToolWindow(data.toolId, "")
            window = mainWindow.toolWindow
            verify(window)
            compare(window.toolId, data.toolId)
        }
        compare([window.width, window.height], data.size)
        compare([window.minimumWidth, window.minimumHeight], data.minimum)
    }

    function test_activationWithoutFile() {
        mainWindow.minimizeWindow()
        compare(mainWindow.visibility, Window.Minimized)
        singleInstanceService.activationRequested()
        compare(mainWindow.visibility, Window.Windowed)
        compare(mainWindow.pageItem.openedFileUrls.length, 0)
    }

    function test_secondStartWithFileWhileToolIsOpen() {
        mainWindow.openToolWindow("video-compress", "")
        var tool = mainWindow.toolWindow
        verify(tool)
        compare(mainWindow.visibility, Window.Minimized)

        singleInstanceService.activationRequested()
        singleInstanceService.mediaOpenRequested("file:///tmp/second%20start.mp4")
        compare(mainWindow.visibility, Window.Windowed)
        compare(mainWindow.pageItem.openedFileUrls, ["file:///tmp/second%20start.mp4"])
        compare(mainWindow.toolWindow, tool)
        verify(tool.visible)
    }
}
