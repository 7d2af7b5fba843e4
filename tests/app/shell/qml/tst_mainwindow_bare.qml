// The main window without any context object: it opens, routes tools, resizes and handles Esc.
import QtQuick 2.14
import QtQuick.Window 2.14
import QtTest 1.2

TestCase {
    id: testCase
    name: "MainWindowBare"
    when: windowShown

    property var mainWindow: null

    function init() {
        var component = Qt.createComponent("qrc:/qml/main.qml")
        compare(component.status, Component.Ready, component.errorString())
        mainWindow = component.createObject(null, { pageUrl: Qt.resolvedUrl("StubPage.qml") })
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

    function test_windowShape() {
        compare(mainWindow.width, 1080)
        compare(mainWindow.height, 720)
        compare(mainWindow.minimumWidth, 980)
        compare(mainWindow.minimumHeight, 600)
        verify(mainWindow.flags & Qt.FramelessWindowHint)
        verify(mainWindow.visible)
        compare(mainWindow.titleSlogan, "")
        compare(mainWindow.title, Qt.application.name)
        compare(mainWindow.startupMediaFileUrl, "")
        compare(mainWindow.pageItem.productTitle, Qt.application.name)
    }

    function test_handOffWithoutPage() {
        mainWindow.openExternalMediaFromSingleInstance("   ")
        compare(mainWindow.pageItem.openedFileUrls.length, 0)
        mainWindow.openExternalMediaFromSingleInstance("  file:///tmp/a.mp4 ")
        compare(mainWindow.pageItem.openedFileUrls, ["file:///tmp/a.mp4"])
    }

    function test_unknownToolChangesNothing_data() {
        return [{ tag: "unknown", id: "video-upscale" }, { tag: "empty", id: "" },
                { tag: "undefined", id: undefined }, { tag: "not a string", id: 5 }]
    }

    function test_unknownToolChangesNothing(data) {
        mainWindow.openToolWindow(data.id, "/tmp/a.mp4")
        compare(mainWindow.toolWindow, null)
        compare(mainWindow.pendingToolId, "")
        verify(mainWindow.visibility !== Window.Minimized)
    }

    function test_toolWindowLifecycle() {
        mainWindow.openToolWindow("video-capture", "/tmp/a b.mp4")
        var tool = mainWindow.toolWindow
        verify(tool)
        compare(tool.toolId, "video-capture")
        compare(tool.startupSourcePath, "/tmp/a b.mp4")
        compare(tool.width, 800)
        verify(tool.visible)
        compare(tool.transientParent, null)
        compare(mainWindow.visibility, Window.Minimized)

        // A second request re-targets the same window.
        mainWindow.openToolWindow("format-convert")
        compare(mainWindow.toolWindow, tool)
        compare(tool.toolId, "format-convert")
        compare(tool.startupSourcePath, "")

        tool.closeRequested()
        tryCompare(mainWindow, "toolWindow", null)
        compare(mainWindow.visibility, Window.Windowed)
    }

    function test_pageRequestsReachTheWindow() {
        var page = mainWindow.pageItem
        page.toggleMaximizeRequested()
        compare(mainWindow.visibility, Window.Maximized)
        compare(page.windowIsMaximized, true)
        page.toggleMaximizeRequested()
        compare(mainWindow.visibility, Window.Windowed)
        compare(page.windowIsMaximized, false)
        page.toolRequested("video-to-image", "")
        verify(mainWindow.toolWindow)
        compare(mainWindow.toolWindow.toolId, "video-to-image")
        page.minimizeRequested()
        compare(mainWindow.visibility, Window.Minimized)
        page.closeRequested()
        tryCompare(mainWindow, "visible", false)
    }

    function test_escapeLeavesFullScreenBeforeRestoring() {
        var page = mainWindow.pageItem
        mainWindow.maximizeWindow()
        page.playerFullScreen = true
        keyClick(Qt.Key_Escape)
        compare(page.playerFullScreen, false)
        compare(mainWindow.visibility, Window.Maximized)
        keyClick(Qt.Key_Escape)
        compare(mainWindow.visibility, Window.Windowed)
        keyClick(Qt.Key_Escape)
        compare(mainWindow.visibility, Window.Windowed)
    }

    function resizeZone(edges) {
        var children = mainWindow.contentItem.children
        for (var i = 0; i < children.length; ++i) {
            if (children[i].objectName === "resizeZone" + edges)
                return children[i]
        }
        return null
    }

    function test_resizeZones() {
        var left = resizeZone(Qt.LeftEdge)
        var corner = resizeZone(Qt.BottomEdge | Qt.RightEdge)
        verify(left && corner)
        compare([left.x, left.width, left.height, left.z], [0, 6, mainWindow.height, 1000])
        compare([corner.x, corner.y, corner.width, corner.z], [mainWindow.width - 12, mainWindow.height - 12, 12, 1001])
        verify(left.enabled)
        mainWindow.maximizeWindow()
        verify(!left.enabled)
        verify(!corner.enabled)
        mainWindow.restoreWindow()
        verify(left.enabled)
    }

    function test_manualResizeStopsAtMinimum() {
        mainWindow.x = 100
        mainWindow.y = 50
        tryCompare(mainWindow, "x", 100)
        mainWindow.beginResize(Qt.LeftEdge, 100, 300)
        if (!mainWindow.manualResizeActive)
            skip("the window system resizes this window itself")
        mainWindow.updateResize(150, 300)
        tryCompare(mainWindow, "width", 1030)
        compare(mainWindow.x, 150)
        // Past the minimum the right edge stays where it was (100 + 1080).
        mainWindow.updateResize(400, 300)
        tryCompare(mainWindow, "width", 980)
        compare(mainWindow.x, 100 + 1080 - 980)
        mainWindow.endResize()
        verify(!mainWindow.manualResizeActive)

        mainWindow.beginResize(Qt.BottomEdge | Qt.RightEdge, 0, 0)
        mainWindow.updateResize(-500, 40)
        tryCompare(mainWindow, "height", 760)
        compare(mainWindow.width, 980)
        mainWindow.endResize()
    }

    function test_dragOnTheLeftZone() {
        mainWindow.x = 100
        tryCompare(mainWindow, "x", 100)
        var left = resizeZone(Qt.LeftEdge)
        mousePress(left, 3, 300)
        if (!mainWindow.manualResizeActive) {
            mouseRelease(left, 3, 300)
            skip("the window system resizes this window itself")
        }
        mouseMove(left, 43, 300)
        tryCompare(mainWindow, "width", 1040)
        mouseRelease(left, 43, 300)
        verify(!mainWindow.manualResizeActive)
    }

    // A page that does not build leaves the window without a page (and says so in the log);
    // nothing stands in for it.
    function test_brokenPageIsNotReplaced() {
        var component = Qt.createComponent("qrc:/qml/main.qml")
        ignoreWarning(new RegExp("NoSuchPage\\.qml"))
        var broken = component.createObject(null, { pageUrl: Qt.resolvedUrl("NoSuchPage.qml") })
        verify(broken)
        wait(50)
        compare(broken.pageItem, null)
        verify(broken.visible)
        broken.destroy()
    }
}
