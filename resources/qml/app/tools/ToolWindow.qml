// The one tool window: loads the page the tool registry names, hands it the start-up file
// and passes dropped files on to it.
import QtQuick 2.14
import QtQuick.Window 2.14
import "ToolRegistry.js" as ToolRegistry
import "../../components/FileUrl.js" as FileUrl
import "../../components/ScreenFit.js" as ScreenFit
import "../../shared"

Window {
    id: toolWindow

    property string toolId: ""
    property string startupSourcePath: ""
    property bool dragActive: false
    readonly property var toolConfig: ToolRegistry.toolConfig(toolId)
    readonly property Item toolPage: pageLoader.item
    // The "file:" URLs of the drag that is over the window.
    property var droppedFiles: []
    // A page has just loaded and gets the start-up path once the caller has finished setting
    // the window up.
    property bool pageHandOverPending: false
    // The available area of the screen, as the main window has it.
    readonly property var screenAvailableSize: Guard.object("screenAvailableSizeFromCpp")

    signal closeRequested()

    function entryNumber(name, fallback) {
        var entry = toolConfig
        return entry && typeof entry[name] === "number" && entry[name] > 0 ? entry[name] : fallback
    }

    function fileUrlsOf(urls) {
        var result = []
        if (!urls)
            return result
        for (var i = 0; i < urls.length; ++i) {
            var text = String(urls[i])
            if (text.indexOf("file:/") === 0)
                result.push(text)
        }
        return result
    }

    // With the platform's rules (FileUrl.js): "file:///home/u/a%20b.mp4" is "/home/u/a b.mp4".
    function toLocalPath(url) {
        return FileUrl.toLocalPath(url)
    }

    function applyStartupSourcePathToTool() {
        var page = pageLoader.item
        if (!page || startupSourcePath.length === 0)
            return
        if (Guard.offers(page, "consumeStartupSourcePath"))
            page.consumeStartupSourcePath(startupSourcePath)
        else if (Guard.offers(page, "startupSourcePath"))
            page.startupSourcePath = startupSourcePath
    }

    // The main window re-targets by setting the tool id and then the path; handing the path
    // over on the next turn keeps a newly loaded page from receiving the previous tool's file.
    function handOverToLoadedPage() {
        if (!pageHandOverPending)
            return
        pageHandOverPending = false
        var page = pageLoader.item
        if (!page)
            return
        if (Guard.offers(page, "startupSourcePath"))
            page.startupSourcePath = startupSourcePath
        applyStartupSourcePathToTool()
    }

    // First match wins: the batch tools take every file, the single-file tools the first.
    function applyDroppedFilesToTool(paths) {
        var page = pageLoader.item
        if (!page || !paths || paths.length === 0)
            return false
        var viewModel = Guard.offers(page, "viewModel") ? page.viewModel : null
        if (Guard.offers(viewModel, "addFiles")) {
            Guard.call(viewModel, "addFiles", [paths])
            return true
        }
        if (Guard.offers(page, "consumeStartupSourcePath")) {
            page.consumeStartupSourcePath(paths[0])
            return true
        }
        if (Guard.offers(page, "startupSourcePath")) {
            page.startupSourcePath = paths[0]
            return true
        }
        return false
    }

    function handleDragEntered(drag) {
        droppedFiles = fileUrlsOf(drag.urls)
        dragActive = droppedFiles.length > 0
        drag.accepted = dragActive
    }

    function handleDragExited() {
        dragActive = false
    }

    function handleDropped(drop) {
        dragActive = false
        droppedFiles = fileUrlsOf(drop.urls)
        if (droppedFiles.length === 0)
            return
        var paths = []
        for (var i = 0; i < droppedFiles.length; ++i) {
            var path = toLocalPath(droppedFiles[i])
            if (path.length > 0)
                paths.push(path)
        }
        if (applyDroppedFilesToTool(paths))
            drop.acceptProposedAction()
    }

    // Not owned by the main window: that one is minimised while a tool runs and must not take
    // the tool window with it.
    transientParent: null
    flags: Qt.Window | Qt.FramelessWindowHint
    visible: true
    color: Theme.toolWindowBackground
    // Neither a tool's first size nor its minimum may push the window's buttons off the screen.
    width: ScreenFit.fitted(entryNumber("windowWidth", 1020), screenAvailableSize, "width")
    height: ScreenFit.fitted(entryNumber("windowHeight", 720), screenAvailableSize, "height")
    minimumWidth: ScreenFit.fitted(entryNumber("minimumWidth", 980), screenAvailableSize, "width")
    minimumHeight: ScreenFit.fitted(entryNumber("minimumHeight", 600), screenAvailableSize, "height")
    title: toolConfig ? Tr.t(toolConfig.titleKey) : Qt.application.name

    onStartupSourcePathChanged: {
        if (!pageHandOverPending)
            applyStartupSourcePathToTool()
    }
    onClosing: closeRequested()

    Loader {
        id: pageLoader
        objectName: "toolPageLoader"
        anchors.fill: parent
        source: toolWindow.toolConfig && toolWindow.toolConfig.entryQml ? toolWindow.toolConfig.entryQml : ""
        onLoaded: {
            toolWindow.pageHandOverPending = true
            Qt.callLater(toolWindow.handOverToLoadedPage)
        }
    }

    Connections {
        target: pageLoader.item
        ignoreUnknownSignals: true
        function onCloseRequested() { toolWindow.close() }
    }

    DropArea {
        objectName: "toolDropArea"
        anchors.fill: parent
        z: 100
        onEntered: toolWindow.handleDragEntered(drag)
        onExited: toolWindow.handleDragExited()
        onDropped: toolWindow.handleDropped(drop)
    }
}
