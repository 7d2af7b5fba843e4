// The main window's page: title bar, player area, play-list panel, settings menu, account
// popup and login overlay, about overlay and status toast; it runs every flow that opens,
// plays, advances or clears a file.
import QtQuick 2.14
import QtQuick.Window 2.14
import Tavrixo 1.0
import "components"
import "PlayerLogic.js" as Logic
import "../../shared"

FocusScope {
    id: page

    // Interface towards the main window.
    property string windowTitle: ""
    property string productTitle: Qt.application.name
    property string titleSlogan: ""
    property bool windowIsMaximized: false
    property string startupMediaFileUrl: ""
    readonly property bool playerFullScreen: playerView.fullScreen

    property bool playlistCollapsed: true
    property int playlistExpandedWidth: 300
    property bool playlistToggleVisible: true
    property int playlistToggleAutoHideDelay: 2200
    property bool settingsMenuVisible: false
    property bool aboutDialogVisible: false
    property bool loginDialogVisible: false
    property bool userInfoPopupVisible: false
    property bool forceLoginDialogForBinding: false
    property int settingsMenuAutoClosePollMs: 100
    property int userInfoPopupAutoClosePollMs: 100
    property int settingsMenuAutoCloseGraceMs: 320
    property int userInfoPopupAutoCloseGraceMs: 320
    property alias settingsStatusText: statusToast.text
    property double userInfoLastRefreshMs: 0
    property bool startupMediaApplied: false
    property bool pageStarted: false
    property bool dragActive: false
    readonly property bool playerHasMedia: playerView.hasMedia

    readonly property alias settingsMenuUnhoveredPolls: settingsMenuHoverClose.unhoveredPolls
    readonly property alias userInfoPopupUnhoveredPolls: userInfoHoverClose.unhoveredPolls
    property string shownAvatarPath: ""
    property string accountDisplayName: Tr.t("ui.text.account.login")

    // Documents of other features, loaded only when they exist.
    property url userInfoPopupSource: Qt.resolvedUrl("components/UserInfoPopup.qml")
    property url loginDialogSource: "qrc:/qml/pages/LoginPage/Main.qml"

    readonly property alias titleBar: titleBar
    readonly property alias playerView: playerView
    readonly property alias placeholder: placeholder
    readonly property alias settingsMenu: settingsMenu
    readonly property alias aboutDialog: aboutDialog
    readonly property alias statusToast: statusToast
    readonly property alias coordinator: coordinator
    readonly property var playlistPanel: playlistPanelLoader.item

    readonly property var playlist: Guard.object("playlistStore")
    readonly property var account: Guard.object("accountManager")
    readonly property bool signedIn: Guard.read("accountManager", "loggedIn", false) === true

    signal toolRequested(string toolId, string startupSourcePath)
    signal minimizeRequested()
    signal toggleMaximizeRequested()
    signal closeRequested()


    function showSettingsStatus(message) {
        statusToast.show(message)
    }

    // ---- Opening files ----

    function isSupportedUrl(url) {
        return Guard.call("playlistStore", "isSupportedFileUrl", [url]) === true
    }

    function refusalReasonOf(url) {
        return Guard.call("playlistStore", "refusalReason", [url])
    }

    // Names the first refused file and why; more than one are counted in the same toast.
    function explainRefusals(refused) {
        if (refused.length === 0)
            return
        var first = refused[0]
        console.info("[MediaPlayerPage] not opened " + first.url + " reason " + first.reason)
        var args = { name: Logic.fileNameOf(first.url), reason: Tr.t(Logic.refusalReasonKey(first.reason)),
                     count: refused.length }
        showSettingsStatus(Tr.t(refused.length === 1 ? "ui.text.open.refused" : "ui.text.open.refused_many", args))
    }

    function openExternalFilesAndPlay(urls) {
        var parts = Logic.partitionByRefusal(Logic.fileUrlsOnly(urls), refusalReasonOf)
        explainRefusals(parts.refused)
        var files = parts.accepted
        if (files.length === 0 || !Guard.has("playlistStore", "addFiles"))
            return
        var before = String(Guard.read("playlistStore", "currentFileUrl", ""))
        Guard.call("playlistStore", "addFiles", [files, false])
        // The file that already was current is not announced again; after a stop, or resting
        // at its end, it must still play (from the start) when the user opens it.
        var after = String(Guard.read("playlistStore", "currentFileUrl", ""))
        if (after.length > 0 && after === before && (!playerHasMedia || coordinator.requestedFileEnded))
            coordinator.onPlaylistCurrentFileChanged(after)
    }

    function openDroppedFiles(urls) {
        openExternalFilesAndPlay(urls)
    }

    function openFileFromPlaceholder() {
        var url = Guard.call("fileDialogService", "pickPlayableMediaFile")
        if (url !== undefined && url !== null && String(url).length > 0)
            openDroppedFiles([String(url)])
    }

    function importFiles() {
        var urls = Guard.call("fileDialogService", "pickPlayableMediaFiles")
        if (urls && urls.length > 0)
            openExternalFilesAndPlay(urls)
    }

    function applyStartupMediaFileIfNeeded() {
        if (startupMediaApplied)
            return false
        var text = startupMediaFileUrl === undefined || startupMediaFileUrl === null
                   ? "" : String(startupMediaFileUrl).trim()
        if (text.length === 0 || !Guard.has("playlistStore", "addFiles"))
            return false
        startupMediaApplied = true
        var reason = refusalReasonOf(text)
        if (reason !== "") {
            explainRefusals(typeof reason === "string" ? [{ url: text, reason: reason }] : [])
            return false
        }
        Guard.call("playlistStore", "addFiles", [[text], playerHasMedia])
        return true
    }

    function syncPreviewWorkerBudget() {
        Guard.call("mediaPreviewService", "setPlaybackActive", [playerHasMedia])
        var panel = playlistPanelLoader.item
        if (panel) {
            panel.preserveCurrentOnAdd = playerHasMedia
            panel.highlightCurrentItem = playerHasMedia
        }
    }

    function currentPlayerSourcePath() {
        return Logic.currentSourcePath(playerHasMedia, String(Guard.read("playlistStore", "currentSourcePath", "")),
                                       playerView.currentFileUrl)
    }

    function requestTool(toolId) {
        playerView.pausePlayback()
        toolRequested(toolId, currentPlayerSourcePath())
    }

    function exitPlayerFullScreen() {
        playerView.exitFullScreen()
    }

    // ---- Play-list tab and panel ----

    function showPlaylistToggle() {
        playlistToggleVisible = true
        if (playerHasMedia)
            toggleHideTimer.restart()
        else
            toggleHideTimer.stop()
    }

    function setPlaylistCollapsed(collapsed) {
        if (playlistCollapsed === collapsed)
            return
        playlistCollapsed = collapsed
        pruneMissingFiles()
    }

    function pruneMissingFiles() {
        Guard.call("playlistStore", "pruneMissingFiles")
    }

    // ---- Settings menu and about ----

    function setSettingsMenuVisible(shown) {
        settingsMenuHoverClose.reset()
        if (shown) {
            aboutDialogVisible = false
            userInfoPopupVisible = false
        }
        settingsMenuVisible = shown
    }

    function showActionOutcome(text) {
        if (text !== undefined)
            showSettingsStatus(text)
    }

    function showAbout() {
        setSettingsMenuVisible(false)
        userInfoPopupVisible = false
        aboutDialogVisible = true
    }

    // ---- Account ----

    function accountIdText() {
        return Logic.accountIdOf(String(Guard.read("accountManager", "uid", "")), String(Guard.read("accountManager", "accountId", "")))
    }

    // A signed-in account without nickname or id; while the catalog has no text for it the
    // button shows only the user icon rather than a raw key.
    function fallbackUserName() {
        var text = Tr.t("ui.text.account.username")
        return text.indexOf("[[") === 0 || text === "ui.text.account.username" ? "" : text
    }

    function refreshAccountDisplay() {
        accountDisplayName = Logic.displayName(signedIn, Guard.read("accountManager", "virtualAccount", false) === true,
                                               String(Guard.read("accountManager", "nickname", "")),
                                               String(Guard.read("accountManager", "accountId", "")), {
                                                   login: function () { return Tr.t("ui.text.account.login") },
                                                   localAccount: function () {
                                                       return Tr.t("ui.text.account.local_account")
                                                   },
                                                   username: fallbackUserName
                                               })
        var avatar = signedIn ? String(Guard.read("accountManager", "avatarLocalPath", "")) : ""
        if (avatar.length > 0 && avatar === shownAvatarPath)
            titleBar.avatarUrl = ""
        shownAvatarPath = avatar
        titleBar.avatarUrl = avatar
    }

    function refreshAccountInfo(force) {
        if (!Guard.has("accountManager", "refreshAccountInfoInfo"))
            return
        var now = Date.now()
        if (!force && userInfoLastRefreshMs > 0 && now - userInfoLastRefreshMs < 5000)
            return
        userInfoLastRefreshMs = now
        Guard.call("accountManager", "refreshAccountInfoInfo")
    }

    function openUserInfoPopup(force) {
        if (playerFullScreen || !signedIn || loginDialogVisible)
            return
        var wasVisible = userInfoPopupVisible
        userInfoPopupVisible = true
        userInfoHoverClose.reset()
        if (!wasVisible || force)
            refreshAccountInfo(force === true)
    }

    // Without an account service there is no dialog to show: the button stays inert rather
    // than raising a cover with nothing on it.
    function startLoginFlow(scene) {
        if (account === null)
            return
        userInfoPopupVisible = false
        forceLoginDialogForBinding = scene === 1
        Guard.call("accountManager", "setLoginScene", [scene])
        loginDialogVisible = true
    }

    function closeLoginDialog() {
        forceLoginDialogForBinding = false
        Guard.call("accountManager", "setLoginScene", [0])
        loginDialogVisible = false
    }

    function handleUserButton() {
        setSettingsMenuVisible(false)
        aboutDialogVisible = false
        if (signedIn) {
            loginDialogVisible = false
            openUserInfoPopup(true)
        } else {
            userInfoPopupVisible = false
            startLoginFlow(0)
        }
    }

    function copyAccountId() {
        var id = accountIdText()
        if (id.length === 0 || !Guard.has("systemActions", "copyTextToClipboard"))
            return
        var copied = Guard.call("systemActions", "copyTextToClipboard", [id]) === true
        showSettingsStatus(Tr.t(copied ? "ui.text.account.id_copied" : "ui.text.common.copy_failed"))
    }

    // ---- Start ----

    function startPage() {
        pageStarted = true
        if (Guard.object("startupShouldTrackActivityFromCpp") === true) {
            // Ticked first: the registration below may fail, the user's intent stays recorded.
            settingsMenu.setDefaultPlayerEnabled(true)
            showActionOutcome(Guard.call("systemActions", "setAsDefaultPlayer"))
        }
        showPlaylistToggle()
        if (applyStartupMediaFileIfNeeded()) {
            syncPreviewWorkerBudget()
            return
        }
        if (Guard.has("playlistStore", "currentIndex"))
            playlist.currentIndex = -1
        coordinator.onPlaylistCurrentFileChanged(String(Guard.read("playlistStore", "currentFileUrl", "")))
        syncPreviewWorkerBudget()
    }

    Component.onCompleted: {
        refreshAccountDisplay()
        startPage()
        playerView.forceActiveFocus()
    }
    // A value handed over before completion is applied by the start sequence itself.
    onStartupMediaFileUrlChanged: if (pageStarted) applyStartupMediaFileIfNeeded()
    onPlayerHasMediaChanged: {
        syncPreviewWorkerBudget()
        if (!playerHasMedia) {
            showPlaylistToggle()
        } else {
            toggleHideTimer.restart()
            // Hidden while empty, the view lost the keyboard; Space belongs to it again.
            playerView.forceActiveFocus()
        }
    }
    onPlayerFullScreenChanged: {
        if (playerFullScreen) {
            userInfoPopupVisible = false
            setSettingsMenuVisible(false)
        }
    }

    PlaybackCoordinator {
        id: coordinator
        playlistModel: page.playlist
        onPlayFileRequested: playerView.openFile(fileUrl)
        onClearPlaybackRequested: playerView.clearFile()
    }

    Connections {
        target: page.playlist
        ignoreUnknownSignals: true
        function onCurrentFileUrlChanged() {
            coordinator.onPlaylistCurrentFileChanged(String(Guard.read("playlistStore", "currentFileUrl", "")))
        }
    }

    Connections {
        target: page.account
        ignoreUnknownSignals: true
        function onLoggedInChanged() {
            page.refreshAccountDisplay()
            if (page.signedIn)
                page.closeLoginDialog()
            else
                page.userInfoPopupVisible = false
        }
        function onAccountInfoChanged() { page.refreshAccountDisplay() }
        function onLogoutFinished(success) {
            if (success !== true)
                return
            page.setSettingsMenuVisible(false)
            page.refreshAccountDisplay()
        }
        function onVirtualBindFailed(message) { page.showSettingsStatus(message) }
    }

    Timer {
        id: toggleHideTimer
        interval: page.playlistToggleAutoHideDelay
        repeat: false
        onTriggered: {
            if (page.playerHasMedia)
                page.playlistToggleVisible = false
        }
    }

    Timer {
        id: pruneTimer
        interval: 8000
        repeat: true
        running: !page.playlistCollapsed
        onTriggered: page.pruneMissingFiles()
    }

    HoverAutoClose {
        id: settingsMenuHoverClose
        running: page.settingsMenuVisible
        open: page.settingsMenuVisible
        hovered: page.settingsMenu.pointerInside || page.titleBar.settingsButtonHovered
        pollMs: page.settingsMenuAutoClosePollMs
        graceMs: page.settingsMenuAutoCloseGraceMs
        onCloseRequested: page.setSettingsMenuVisible(false)
    }

    // The account pop-up also opens by hovering over the user button.
    HoverAutoClose {
        id: userInfoHoverClose
        running: !page.playerFullScreen && page.account !== null
        open: page.userInfoPopupVisible
        hovered: page.signedIn && !page.loginDialogVisible
                 && (page.titleBar.userInfoButtonHovered
                     || (userInfoPopupLoader.item !== null && userInfoPopupLoader.item.pointerInside === true))
        pollMs: page.userInfoPopupAutoClosePollMs
        graceMs: page.userInfoPopupAutoCloseGraceMs
        onHoverSeen: {
            if (!page.userInfoPopupVisible)
                page.openUserInfoPopup(false)
        }
        onCloseRequested: page.userInfoPopupVisible = false
    }

    // The page's background is the window's own colour: a rectangle here would fill the whole
    // window once more on every frame of a playing video.
    WinTitleBar {
        id: titleBar
        objectName: "titleBar"
        width: parent.width
        height: page.playerFullScreen ? 0 : Theme.titleBarHeight
        visible: !page.playerFullScreen
        titleText: page.productTitle
        userName: page.accountDisplayName
        windowIsMaximized: page.windowIsMaximized
        onSettingsRequested: page.setSettingsMenuVisible(!page.settingsMenuVisible)
        onImportFilesRequested: page.importFiles()
        onMinimizeRequested: page.minimizeRequested()
        onToggleMaximizeRequested: page.toggleMaximizeRequested()
        onCloseRequested: page.closeRequested()
        onUserInfoRequested: page.handleUserButton()
    }

    Item {
        id: content
        anchors.top: titleBar.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom

        Item {
            id: playerArea
            objectName: "playerArea"
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            anchors.left: parent.left
            anchors.right: playlistPanelLoader.active ? playlistPanelLoader.left : parent.right

            PlayerView {
                id: playerView
                objectName: "playerView"
                anchors.fill: parent
                focus: true
                visible: page.playerHasMedia
                onPreviousRequested: Guard.call("playlistStore", "activatePrevious")
                onNextRequested: Guard.call("playlistStore", "activateNext")
                onPlaybackFinished: coordinator.onPlaybackFinished(playerView.currentFileUrl)
                onPlaybackFailed: coordinator.onPlaybackFailed(fileUrl)
                onPlaybackAreaPointerActive: page.showPlaylistToggle()
                onToolboxRequested: page.requestTool(toolId)
                onSettingsStatusRequested: page.showSettingsStatus(message)
            }

            PlayerPlaceholder {
                id: placeholder
                objectName: "playerPlaceholder"
                anchors.fill: parent
                visible: !page.playerHasMedia
                onOpenFileRequested: page.openFileFromPlaceholder()
            }

            DropArea {
                id: playerDropArea
                anchors.fill: parent
                // Any file is taken, so that one the player refuses (a folder, a subtitle) is
                // answered with the reason; the overlay promises playback only for playable ones.
                onEntered: {
                    drag.accepted = Logic.fileUrlsOnly(drag.urls).length > 0
                    page.dragActive = Logic.anySupportedFileUrl(drag.urls, page.isSupportedUrl)
                }
                onExited: page.dragActive = false
                onDropped: {
                    page.dragActive = false
                    var files = Logic.fileUrlsOnly(drop.urls)
                    if (files.length > 0)
                        drop.acceptProposedAction()
                    page.openDroppedFiles(files)
                }
            }

            Rectangle {
                objectName: "playerDropOverlay"
                anchors.fill: parent
                visible: page.dragActive
                color: Theme.dropOverlay
                border.color: Theme.accent
                border.width: 2
                Text {
                    anchors.centerIn: parent
                    text: Tr.t("ui.text.drag.release_to_load_video")
                    color: Theme.textPrimary
                    font.pixelSize: Theme.fontTitle
                }
            }

            PlaylistToggleTab {
                id: playlistToggle
                objectName: "playlistToggle"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                visible: page.playlistToggleVisible || !page.playlistCollapsed
                collapsed: page.playlistCollapsed
                onToggled: page.setPlaylistCollapsed(!page.playlistCollapsed)
            }
        }

        Loader {
            id: playlistPanelLoader
            objectName: "playlistPanelLoader"
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            anchors.right: parent.right
            width: active ? page.playlistExpandedWidth : 0
            active: !page.playlistCollapsed
            source: "components/PlayerListPanel.qml"
            onLoaded: page.syncPreviewWorkerBudget()
        }

        Connections {
            target: playlistPanelLoader.item
            function onFilesRefused(refused) {
                page.explainRefusals(refused)
            }
        }
    }

    StatusToast {
        id: statusToast
        objectName: "statusToast"
        z: 30
        anchors.horizontalCenter: parent.horizontalCenter
        y: page.playerFullScreen ? 12 : titleBar.height + 12
        maximumWidth: page.width - 44
    }

    // Click catcher under the settings menu: a click anywhere else closes it.
    MouseArea {
        objectName: "settingsMenuClickCatcher"
        anchors.fill: parent
        z: 19
        visible: page.settingsMenuVisible && !page.playerFullScreen
        onPressed: page.setSettingsMenuVisible(false)
    }

    AppSettingsMenu {
        id: settingsMenu
        objectName: "settingsMenu"
        z: 20
        visible: page.settingsMenuVisible && !page.playerFullScreen
        x: Logic.clampCentered(titleBar.settingsButtonCenterX, width, page.width, 8)
        y: titleBar.height + 8
        onDefaultPlayerRequested: {
            page.setSettingsMenuVisible(false)
            page.showActionOutcome(enabled ? Guard.call("systemActions", "setAsDefaultPlayer")
                                           : Guard.call("systemActions", "clearDefaultPlayer"))
        }
        onAddDesktopShortcutRequested: {
            page.setSettingsMenuVisible(false)
            page.showActionOutcome(Guard.call("systemActions", "createDesktopShortcut"))
        }
        onOnlineServiceRequested: {
            page.setSettingsMenuVisible(false)
            page.showActionOutcome(Guard.call("systemActions", "openCustomerService", [page.accountIdText()]))
        }
        onAboutRequested: page.showAbout()
    }

    Loader {
        id: userInfoPopupLoader
        objectName: "userInfoPopupLoader"
        z: 21
        active: page.account !== null && page.userInfoPopupVisible && page.signedIn && !page.playerFullScreen
                && !page.loginDialogVisible
        source: page.userInfoPopupSource
        x: item ? Logic.clampCentered(titleBar.userInfoButtonCenterX, item.width, page.width, 8) : 0
        y: titleBar.height + 6
        onLoaded: {
            item.userName = Qt.binding(function () { return page.accountDisplayName })
            item.accountId = Qt.binding(function () { return page.accountIdText() })
            item.avatarUrl = Qt.binding(function () { return page.shownAvatarPath })
            if (item.isVirtualAccount !== undefined)
                item.isVirtualAccount = Qt.binding(function () {
                    return Guard.read("accountManager", "virtualAccount", false) === true
                })
        }
    }

    Connections {
        target: userInfoPopupLoader.item
        ignoreUnknownSignals: true
        function onLogoutRequested() {
            page.userInfoPopupVisible = false
            Guard.call("accountManager", "logout")
        }
        function onCopyAccountIdRequested() { page.copyAccountId() }
        function onBindOnlineAccountRequested() { page.startLoginFlow(1) }
    }

    Rectangle {
        id: loginOverlay
        objectName: "loginOverlay"
        anchors.fill: parent
        z: 40
        // Shown only around a dialog that loaded; a cover alone would swallow every click.
        visible: page.loginDialogVisible && loginLoader.status === Loader.Ready
        color: Theme.dialogScrim

        MouseArea {
            anchors.fill: parent
            onClicked: page.closeLoginDialog()
        }

        Loader {
            id: loginLoader
            anchors.centerIn: parent
            width: item && item.implicitWidth > 0 ? item.implicitWidth : 352
            height: item && item.implicitHeight > 0 ? item.implicitHeight : 454
            active: page.account !== null && page.loginDialogVisible
                    && (!page.signedIn || page.forceLoginDialogForBinding)
            source: page.loginDialogSource
            onStatusChanged: {
                // Later, not inside the evaluation of active that started the load.
                if (status === Loader.Error)
                    Qt.callLater(page.closeLoginDialog)
            }

            // Clicks inside the dialog stay in it.
            MouseArea {
                anchors.fill: parent
                z: -1
            }
        }

        Connections {
            target: loginLoader.item
            ignoreUnknownSignals: true
            function onCloseRequested() { page.closeLoginDialog() }
        }
    }

    AboutDialog {
        id: aboutDialog
        objectName: "aboutDialog"
        anchors.fill: parent
        z: 50
        visible: page.aboutDialogVisible
        productTitle: page.productTitle
        versionText: String(Guard.read("systemActions", "applicationVersion", ""))
        companyName: String(Guard.read("systemActions", "companyName", ""))
        onCloseRequested: page.aboutDialogVisible = false
    }
}
