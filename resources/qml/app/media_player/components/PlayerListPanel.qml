// The play-list side panel: header with view switch, playback mode, add and clear; the list or
// thumbnail view of the entries with their previews; dropping files to add them.
import QtQuick 2.14
import QtQuick.Controls 2.14
import Qt.labs.settings 1.0
import "../../../components"
import "../PlayerLogic.js" as Logic
import "../../../shared"

Rectangle {
    id: panel

    property bool preserveCurrentOnAdd: true
    property bool highlightCurrentItem: false
    property bool thumbnailMode: false
    property bool dragActive: false
    property bool settingsLoaded: false
    readonly property int listItemHeight: 44
    readonly property int thumbnailItemHeight: 54
    readonly property var playlist: Guard.object("playlistStore")
    readonly property int playbackMode: Guard.read("playlistStore", "playbackMode", 0)
    readonly property int currentIndex: Guard.read("playlistStore", "currentIndex", -1)
    readonly property int entryCount: Guard.read("playlistStore", "count", 0)
    property int hoveredIndex: -1
    readonly property alias listView: listView
    readonly property alias modeMenu: modeMenu

    // Dropped files the list will not take, each {url, reason}; the page says which and why.
    signal filesRefused(var refused)

    function isSupported(url) {
        return Guard.call("playlistStore", "isSupportedFileUrl", [url]) === true
    }

    function addSelectedFiles(urls) {
        if (!urls || urls.length === 0)
            return
        var list = []
        for (var i = 0; i < urls.length; ++i)
            list.push(String(urls[i]))
        Guard.call("playlistStore", "addFiles", [list, preserveCurrentOnAdd])
    }

    function pickAndAddFiles() {
        addSelectedFiles(Guard.call("fileDialogService", "pickPlayableMediaFiles"))
    }

    function clearAll() {
        Guard.call("playlistStore", "clear")
    }

    function removeRow(index) {
        Guard.call("playlistStore", "removeAt", [index])
    }

    function activateRow(index) {
        Guard.call("playlistStore", "activateIndex", [index])
    }

    function setPlaybackMode(mode) {
        if (Guard.has("playlistStore", "playbackMode"))
            playlist.playbackMode = mode
    }

    function toggleModeMenu() {
        if (modeMenu.opened)
            modeMenu.close()
        else
            modeMenu.open()
    }

    function previewFor(sourcePath) {
        if (Guard.has("mediaPreviewService", "previewForFile"))
            return Guard.call("mediaPreviewService", "previewForFile", [sourcePath])
        return { loading: false, durationText: "00:00:00", thumbnailPath: "", qualityTag: "", parseFailed: false }
    }

    // Any file is taken, so that one the list refuses (a folder, a subtitle) is answered with
    // the reason; the overlay promises an addition only for playable ones.
    function dropAccepts(urls) {
        return Logic.fileUrlsOnly(urls).length > 0
    }

    function dropFiles(urls) {
        var parts = Logic.partitionByRefusal(Logic.fileUrlsOnly(urls), function (url) {
            return Guard.call("playlistStore", "refusalReason", [url])
        })
        if (parts.refused.length > 0)
            filesRefused(parts.refused)
        if (parts.accepted.length > 0)
            addSelectedFiles(parts.accepted)
        return parts.accepted.length
    }

    function updateHoveredIndex() {
        if (!hoverTracker.containsMouse) {
            hoveredIndex = -1
            return
        }
        if (scrollBar.visible && hoverTracker.mouseX >= listView.width - scrollBar.width) {
            hoveredIndex = -1
            return
        }
        hoveredIndex = listView.indexAt(hoverTracker.mouseX, hoverTracker.mouseY + listView.contentY)
    }

    onThumbnailModeChanged: {
        if (settingsLoaded && panelSettings.thumbnailMode !== thumbnailMode)
            panelSettings.thumbnailMode = thumbnailMode
    }
    Component.onCompleted: {
        thumbnailMode = panelSettings.thumbnailMode
        settingsLoaded = true
    }

    color: Theme.playlistPanelBackground

    Settings {
        id: panelSettings
        fileName: String(Guard.object("playerSettingsFilePath") || "")
        category: "PlayerListPanel"
        property bool thumbnailMode: false
    }

    // A press anywhere on the panel closes the mode menu (the menu's own modality covers the rest).
    MouseArea {
        anchors.fill: parent
        onPressed: {
            modeMenu.close()
            mouse.accepted = false
        }
    }

    Item {
        id: header
        objectName: "playlistHeader"
        width: parent.width
        height: 56

        Text {
            anchors.left: parent.left
            anchors.leftMargin: 16
            anchors.verticalCenter: parent.verticalCenter
            text: Tr.t("ui.text.playlist.title")
            color: Theme.textStrong
            font.pixelSize: Theme.fontLarge
            font.bold: true
        }

        Row {
            anchors.right: parent.right
            anchors.rightMargin: 10
            anchors.verticalCenter: parent.verticalCenter
            spacing: 4

            ControlIconButton {
                objectName: "viewSwitchButton"
                width: 28
                height: 28
                iconSize: 16
                iconSource: panel.thumbnailMode ? "qrc:/assets/icons/playlist_list.svg"
                                                : "qrc:/assets/icons/playlist_grid.svg"
                toolTipText: Tr.t(panel.thumbnailMode ? "ui.text.playlist.view.list"
                                                                 : "ui.text.playlist.view.thumbnail")
                toolTipHost: panel
                onClicked: panel.thumbnailMode = !panel.thumbnailMode
            }
            ControlIconButton {
                id: modeButton
                objectName: "playbackModeButton"
                width: 28
                height: 28
                iconSize: 16
                iconSource: Logic.playbackModeInfo(panel.playbackMode).icon
                toolTipText: Tr.t(Logic.playbackModeInfo(panel.playbackMode).textKey)
                toolTipHost: panel
                highlighted: modeMenu.opened
                onClicked: panel.toggleModeMenu()
            }
            ControlIconButton {
                objectName: "addFilesButton"
                width: 28
                height: 28
                iconSize: 16
                iconSource: "qrc:/assets/icons/playlist_add.svg"
                toolTipText: Tr.t("ui.text.file.add_file")
                toolTipHost: panel
                onClicked: panel.pickAndAddFiles()
            }
            ControlIconButton {
                objectName: "clearButton"
                width: 28
                height: 28
                iconSize: 16
                iconSource: "qrc:/assets/icons/playlist_clear.svg"
                toolTipText: Tr.t("ui.text.common.clear")
                toolTipHost: panel
                onClicked: panel.clearAll()
            }
        }

        Rectangle {
            anchors.bottom: parent.bottom
            width: parent.width
            height: 1
            color: Theme.buttonHoverOverlay
        }
    }

    PlaybackModeMenu {
        id: modeMenu
        objectName: "playbackModeMenu"
        x: panel.width - width - 10
        y: header.height
        currentMode: panel.playbackMode
        onModeChosen: panel.setPlaybackMode(mode)
    }

    MouseArea {
        id: hoverTracker
        objectName: "playlistHoverTracker"
        anchors.top: header.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        hoverEnabled: true
        acceptedButtons: Qt.NoButton
        onPositionChanged: panel.updateHoveredIndex()
        onContainsMouseChanged: panel.updateHoveredIndex()

        ListView {
            id: listView
            objectName: "playlistView"
            anchors.fill: parent
            clip: true
            model: panel.playlist
            boundsBehavior: Flickable.StopAtBounds
            onContentYChanged: panel.updateHoveredIndex()
            ScrollBar.vertical: ScrollBar {
                id: scrollBar
                policy: ScrollBar.AsNeeded
            }

            delegate: PlaylistRow {
                id: rowItem
                width: listView.width
                rowIndex: index
                title: model.title !== undefined ? model.title : ""
                tag: model.tag !== undefined ? model.tag : ""
                sourcePath: model.sourcePath !== undefined ? model.sourcePath : ""
                thumbnailMode: panel.thumbnailMode
                current: panel.highlightCurrentItem && index === panel.currentIndex
                hovered: index === panel.hoveredIndex
                toolTipHost: panel
                onRemoveRequested: panel.removeRow(index)
                onActivateRequested: panel.activateRow(index)
                Component.onCompleted: preview = panel.previewFor(sourcePath)

                Connections {
                    target: Guard.object("mediaPreviewService")
                    ignoreUnknownSignals: true
                    function onPreviewReady(sourcePath, preview) {
                        if (Logic.samePath(sourcePath, rowItem.sourcePath))
                            rowItem.preview = preview
                    }
                }
            }
        }
    }

    Text {
        objectName: "playlistEmptyText"
        anchors.centerIn: hoverTracker
        visible: panel.entryCount === 0
        text: Tr.t("ui.text.playlist.empty")
        color: Theme.panelIconMuted
        font.pixelSize: Theme.fontSmall
    }

    DropArea {
        id: dropArea
        anchors.fill: parent
        onEntered: {
            drag.accepted = panel.dropAccepts(drag.urls)
            panel.dragActive = Logic.anySupportedFileUrl(drag.urls, panel.isSupported)
        }
        onExited: panel.dragActive = false
        onDropped: {
            panel.dragActive = false
            if (panel.dropFiles(drop.urls) > 0)
                drop.acceptProposedAction()
        }
    }

    Rectangle {
        objectName: "playlistDropOverlay"
        anchors.fill: parent
        visible: panel.dragActive
        color: Theme.panelDropOverlay
        border.color: Theme.accent
        border.width: 2
        Text {
            anchors.centerIn: parent
            text: Tr.t("ui.text.drag.release_to_add_playlist")
            color: Theme.textPrimary
            font.pixelSize: Theme.fontBody
        }
    }
}
