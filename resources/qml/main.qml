// The frameless main window: hosts the player page and the one tool window, resizes itself
// without a system frame and answers the single-instance hand-off.
import QtQuick 2.14
import QtQuick.Window 2.14
import "app/tools/ToolRegistry.js" as ToolRegistry
import "components/ScreenFit.js" as ScreenFit
import "shared"

Window {
    id: mainWindow

    // The window tests point it at a stand-in page.
    property string pageUrl: "qrc:/qml/app/media_player/MediaPlayerPage.qml"
    readonly property string toolWindowUrl: "qrc:/qml/app/tools/ToolWindow.qml"
    readonly property string placeholderToolWindowUrl: "qrc:/qml/app/PlaceholderToolWindow.qml"

    readonly property var singleInstance: Guard.object("singleInstanceService")

    readonly property string productTitle: Qt.application.name
    readonly property string titleSlogan: Tr.tOr("ui.text.window.title_slogan", "")
    readonly property int resizeBorder: 6
    readonly property bool windowIsMaximized: visibility === Window.Maximized
    property string pendingToolId: ""
    property string pendingToolSourcePath: ""
    property string startupMediaFileUrl: Guard.object("startupMediaFileUrlFromCpp") !== null
                                         ? String(Guard.object("startupMediaFileUrlFromCpp")) : ""

    // Manual resize, for platforms whose windows cannot resize themselves through the system.
    property point resizeStartPointer: Qt.point(0, 0)
    property rect resizeStartGeometry: Qt.rect(0, 0, 0, 0)
    property bool resizeLeftEdge: false
    property bool resizeRightEdge: false
    property bool resizeTopEdge: false
    property bool resizeBottomEdge: false
    property bool manualResizeActive: false

    readonly property Item pageItem: pageLoader.item
    readonly property var toolWindow: toolWindowLoader.item

    // The available area of the screen the window opens on, in the pixels QML sizes windows
    // in; a scale factor of 2 leaves a 1920x1080 screen 960x540 of them.
    readonly property var screenAvailableSize: Guard.object("screenAvailableSizeFromCpp")

    flags: Qt.Window | Qt.FramelessWindowHint
    visible: true
    // Neither the first size nor the minimum may push the title bar's buttons or the control
    // bar off the screen.
    width: ScreenFit.fitted(1080, screenAvailableSize, "width")
    height: ScreenFit.fitted(720, screenAvailableSize, "height")
    minimumWidth: ScreenFit.fitted(980, screenAvailableSize, "width")
    minimumHeight: ScreenFit.fitted(600, screenAvailableSize, "height")
    color: Theme.windowBackground
    title: titleSlogan.length > 0 ? productTitle + " - " + titleSlogan : productTitle

    function showRaiseAndActivate(window) {
        if (!window)
            return
        if (window.visibility === Window.Minimized)
            window.showNormal()
        else
            window.show()
        window.raise()
        window.requestActivate()
    }

    function activateMainWindow() {
        showRaiseAndActivate(mainWindow)
    }

    function openExternalMediaFromSingleInstance(mediaFileUrl) {
        var url = mediaFileUrl === undefined || mediaFileUrl === null ? "" : String(mediaFileUrl).trim()
        if (url.length === 0)
            return
        var page = pageLoader.item
        if (page)
            page.openExternalFilesAndPlay([url])
        else
            startupMediaFileUrl = url
    }

    function minimizeWindow() {
        showMinimized()
    }

    function maximizeWindow() {
        showMaximized()
    }

    function restoreWindow() {
        showNormal()
    }

    function toggleMaximizeWindow() {
        if (windowIsMaximized)
            restoreWindow()
        else
            maximizeWindow()
    }

    function applyPendingTool(window) {
        if (!window)
            return
        window.toolId = pendingToolId
        window.startupSourcePath = pendingToolSourcePath
        showRaiseAndActivate(window)
    }

    function openToolWindow(toolId, startupSourcePath) {
        if (typeof toolId !== "string" || toolId.length === 0 || !ToolRegistry.hasTool(toolId))
            return
        pendingToolId = toolId
        pendingToolSourcePath = startupSourcePath === undefined || startupSourcePath === null
                                ? "" : String(startupSourcePath)
        toolWindowLoader.active = true
        if (toolWindowLoader.item)
            applyPendingTool(toolWindowLoader.item)
        minimizeWindow()
    }

    function closeToolWindow() {
        toolWindowLoader.active = false
        showNormal()
        raise()
        requestActivate()
    }

    function handleEscape() {
        var page = pageLoader.item
        if (page && page.playerFullScreen === true)
            page.exitPlayerFullScreen()
        else if (windowIsMaximized)
            restoreWindow()
    }

    function beginResize(edges, globalX, globalY) {
        if (windowIsMaximized)
            return
        if (startSystemResize(edges))
            return
        resizeStartPointer = Qt.point(globalX, globalY)
        resizeStartGeometry = Qt.rect(x, y, width, height)
        resizeLeftEdge = (edges & Qt.LeftEdge) !== 0
        resizeRightEdge = (edges & Qt.RightEdge) !== 0
        resizeTopEdge = (edges & Qt.TopEdge) !== 0
        resizeBottomEdge = (edges & Qt.BottomEdge) !== 0
        manualResizeActive = true
    }

    function updateResize(globalX, globalY) {
        if (!manualResizeActive)
            return
        var dx = globalX - resizeStartPointer.x
        var dy = globalY - resizeStartPointer.y
        var start = resizeStartGeometry
        var newX = start.x
        var newY = start.y
        var newWidth = start.width
        var newHeight = start.height
        if (resizeLeftEdge) {
            newWidth = start.width - dx
            newX = start.x + dx
            if (newWidth < minimumWidth) {
                newWidth = minimumWidth
                newX = start.x + (start.width - minimumWidth)
            }
        } else if (resizeRightEdge) {
            newWidth = Math.max(minimumWidth, start.width + dx)
        }
        if (resizeTopEdge) {
            newHeight = start.height - dy
            newY = start.y + dy
            if (newHeight < minimumHeight) {
                newHeight = minimumHeight
                newY = start.y + (start.height - minimumHeight)
            }
        } else if (resizeBottomEdge) {
            newHeight = Math.max(minimumHeight, start.height + dy)
        }
        x = newX
        y = newY
        width = newWidth
        height = newHeight
    }

    function endResize() {
        manualResizeActive = false
        resizeLeftEdge = false
        resizeRightEdge = false
        resizeTopEdge = false
        resizeBottomEdge = false
    }

    function handOverToPage() {
        var page = pageLoader.item
        if (!page)
            return
        page.windowTitle = title
        page.productTitle = productTitle
        page.titleSlogan = titleSlogan
        page.windowIsMaximized = windowIsMaximized
        page.startupMediaFileUrl = startupMediaFileUrl
    }

    onWindowIsMaximizedChanged: {
        if (pageLoader.item)
            pageLoader.item.windowIsMaximized = windowIsMaximized
    }

    Loader {
        id: pageLoader
        anchors.fill: parent
        source: mainWindow.pageUrl
        // A page that does not build is a broken program, not something to hide behind a
        // stand-in: say so where the log is read.
        onStatusChanged: {
            if (status === Loader.Error)
                console.error("[MainWindow] the player page failed to load: " + source)
        }
        onLoaded: mainWindow.handOverToPage()
    }

    Connections {
        target: pageLoader.item
        ignoreUnknownSignals: true
        function onMinimizeRequested() { mainWindow.minimizeWindow() }
        function onToggleMaximizeRequested() { mainWindow.toggleMaximizeWindow() }
        function onCloseRequested() { mainWindow.close() }
        function onToolRequested(toolId, startupSourcePath) { mainWindow.openToolWindow(toolId, startupSourcePath) }
    }

    Loader {
        id: toolWindowLoader
        active: false
        source: mainWindow.toolWindowUrl
        onStatusChanged: {
            if (status === Loader.Error && String(source) !== mainWindow.placeholderToolWindowUrl)
                source = mainWindow.placeholderToolWindowUrl
        }
        onLoaded: {
            // The loader makes a loaded window transient for this one; a transient (owned)
            // window is minimised together with its owner, but the tool window must stay up
            // while the main window is minimised.
            item.transientParent = null
            mainWindow.applyPendingTool(item)
        }
    }

    Connections {
        target: toolWindowLoader.item
        ignoreUnknownSignals: true
        function onCloseRequested() { mainWindow.closeToolWindow() }
    }

    Connections {
        target: mainWindow.singleInstance
        ignoreUnknownSignals: true
        function onActivationRequested() { mainWindow.activateMainWindow() }
        function onMediaOpenRequested(mediaFileUrl) {
            console.info("[MainWindow] mediaOpenRequested " + mediaFileUrl)
            mainWindow.activateMainWindow()
            mainWindow.openExternalMediaFromSingleInstance(mediaFileUrl)
        }
    }

    Shortcut {
        sequence: "Esc"
        context: Qt.ApplicationShortcut
        onActivated: mainWindow.handleEscape()
    }

    Repeater {
        model: [
            { edges: Qt.LeftEdge, cursor: Qt.SizeHorCursor, z: 1000 },
            { edges: Qt.RightEdge, cursor: Qt.SizeHorCursor, z: 1000 },
            { edges: Qt.TopEdge, cursor: Qt.SizeVerCursor, z: 1000 },
            { edges: Qt.BottomEdge, cursor: Qt.SizeVerCursor, z: 1000 },
            { edges: Qt.TopEdge | Qt.LeftEdge, cursor: Qt.SizeFDiagCursor, z: 1001 },
            { edges: Qt.BottomEdge | Qt.RightEdge, cursor: Qt.SizeFDiagCursor, z: 1001 },
            { edges: Qt.TopEdge | Qt.RightEdge, cursor: Qt.SizeBDiagCursor, z: 1001 },
            { edges: Qt.BottomEdge | Qt.LeftEdge, cursor: Qt.SizeBDiagCursor, z: 1001 }
        ]

        delegate: MouseArea {
            readonly property int edges: modelData.edges
            readonly property bool corner: modelData.z > 1000
            readonly property int border: mainWindow.resizeBorder
            readonly property int thickness: corner ? 2 * border : border

            objectName: "resizeZone" + edges
            z: modelData.z
            enabled: !mainWindow.windowIsMaximized
            hoverEnabled: true
            cursorShape: modelData.cursor
            acceptedButtons: Qt.LeftButton
            x: (edges & Qt.RightEdge) ? mainWindow.width - thickness : 0
            y: (edges & Qt.BottomEdge) ? mainWindow.height - thickness : 0
            width: (edges & (Qt.LeftEdge | Qt.RightEdge)) ? thickness : mainWindow.width
            height: (edges & (Qt.TopEdge | Qt.BottomEdge)) ? thickness : mainWindow.height

            onPressed: {
                var point = mapToGlobal(mouse.x, mouse.y)
                mainWindow.beginResize(edges, point.x, point.y)
            }
            onPositionChanged: {
                if (!mainWindow.manualResizeActive)
                    return
                var point = mapToGlobal(mouse.x, mouse.y)
                mainWindow.updateResize(point.x, point.y)
            }
            onReleased: mainWindow.endResize()
            onCanceled: mainWindow.endResize()
        }
    }
}
