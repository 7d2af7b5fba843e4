// Window chrome: the title bar's drag threshold and maximised state, the default-player tick
// stored before it is announced (and on a first start before the registration runs), the
// settings menu's placement and hover close, and the about overlay's click rules.
import QtQuick 2.14
import QtQuick.Window 2.14
import QtTest 1.14
import "qrc:/qml/app/media_player/components"

Item {
    id: root
    width: 1000
    height: 640

    Component {
        id: titleBarComponent
        WinTitleBar { width: root.width }
    }
    Component {
        id: menuComponent
        AppSettingsMenu {}
    }
    Component {
        id: aboutComponent
        AboutDialog { anchors.fill: parent; productTitle: "Tavrixo"; versionText: "1.0.0.0"; companyName: "Co" }
    }
    Component {
        id: pageComponent
        Loader { anchors.fill: parent; source: "qrc:/qml/app/media_player/MediaPlayerPage.qml" }
    }

    SignalSpy { id: spy }

    TestCase {
        name: "WindowChrome"
        when: windowShown

        property string menuFile: ""

        function init() {
            spy.clear()
            spy.target = null
            testServices.clearCalls()
            menuFile = testServices.menuSettingsFile
        }

        function test_dragThreshold_data() {
            return [
                { tag: "2 px does nothing", dx: 2, dy: 2, started: false },
                { tag: "4 px moves", dx: 4, dy: 0, started: true },
                { tag: "4 px vertical moves", dx: 0, dy: 4, started: true }
            ]
        }
        function test_dragThreshold(data) {
            var bar = createTemporaryObject(titleBarComponent, root)
            var area = findChild(bar, "titleDragArea")
            verify(bar.hostWindow !== null)
            mousePress(area, 100, 20)
            verify(bar.dragPressed)
            var window = bar.hostWindow
            var startX = window.x
            var startY = window.y
            mouseMove(area, 100 + data.dx, 20 + data.dy)
            compare(bar.dragStarted, data.started)
            // Without a window manager the move is ours: the window follows the pointer.
            mouseMove(area, 100 + data.dx + 30, 20 + data.dy + 10)
            if (data.started && bar.manualDrag) {
                tryCompare(window, "x", startX + 30)
                tryCompare(window, "y", startY + 10)
            }
            if (!data.started) {
                compare(window.x, startX)
                compare(window.y, startY)
            }
            mouseRelease(area, 100 + data.dx + 30, 20 + data.dy + 10)
            verify(!bar.dragStarted)
            verify(!bar.dragPressed)
        }

        function test_noDragWhenMaximised() {
            var bar = createTemporaryObject(titleBarComponent, root, { windowIsMaximized: true })
            var area = findChild(bar, "titleDragArea")
            mousePress(area, 100, 20)
            mouseMove(area, 140, 40)
            verify(!bar.dragPressed)
            verify(!bar.dragStarted)
            mouseRelease(area, 140, 40)
        }

        function test_doubleClickToggles() {
            var bar = createTemporaryObject(titleBarComponent, root)
            spy.signalName = "toggleMaximizeRequested"
            spy.target = bar
            mouseDoubleClickSequence(findChild(bar, "titleDragArea"), 100, 20)
            compare(spy.count, 1)
            verify(!bar.dragStarted)
        }

        function test_defaultPlayerTickStoredBeforeEmit() {
            var menu = createTemporaryObject(menuComponent, root)
            menu.setDefaultPlayerEnabled(false)
            var seen = []
            var handler = function (enabled) {
                seen.push([enabled, String(testServices.readIni(menuFile, "AppSettingsMenu/defaultPlayerEnabled"))])
            }
            menu.defaultPlayerRequested.connect(handler)
            menu.triggerAction("defaultPlayer")
            menu.triggerAction("defaultPlayer")
            menu.defaultPlayerRequested.disconnect(handler)
            compare(seen, [[true, "true"], [false, "false"]])
            compare(menu.defaultPlayerEnabled, false)
        }

        function test_firstStartTicksBeforeRegistering() {
            var menu = createTemporaryObject(menuComponent, root)
            menu.setDefaultPlayerEnabled(false)
            testServices.clearCalls()
            // The test set-up publishes startupShouldTrackActivityFromCpp = true.
            var loader = createTemporaryObject(pageComponent, root)
            tryCompare(loader, "status", Loader.Ready)
            compare(testServices.countCalls("setAsDefaultPlayer"), 1)
            compare(String(testServices.tickSeenByRegistration), "true")
            verify(loader.item.settingsMenu.defaultPlayerEnabled)
            compare(loader.item.settingsStatusText, "default-player-set")
        }

        function test_menuActionsAnswerThroughTheToast_data() {
            return [
                { tag: "untick clears", action: "defaultPlayer", call: "clearDefaultPlayer", toast: "default-player-cleared" },
                { tag: "shortcut", action: "desktopShortcut", call: "createDesktopShortcut", toast: "shortcut-status" },
                { tag: "online service", action: "onlineService", call: "openCustomerService:", toast: "service-status" }
            ]
        }
        function test_menuActionsAnswerThroughTheToast(data) {
            var loader = createTemporaryObject(pageComponent, root)
            tryCompare(loader, "status", Loader.Ready)
            var page = loader.item
            page.setSettingsMenuVisible(true)
            testServices.clearCalls()
            page.settingsMenu.triggerAction(data.action)
            compare(testServices.countCalls(data.call), 1)
            compare(page.settingsStatusText, data.toast)
            verify(!page.settingsMenuVisible)
        }

        function test_menuPlacementAndHoverClose() {
            var loader = createTemporaryObject(pageComponent, root)
            tryCompare(loader, "status", Loader.Ready)
            var page = loader.item
            page.titleBar.settingsRequested()
            verify(page.settingsMenuVisible)
            var menu = page.settingsMenu
            verify(menu.x >= 8)
            verify(menu.x + menu.width <= page.width - 8)
            compare(menu.y, page.titleBar.height + 8)
            // Without the pointer over the menu or its button it closes after four polls.
            mouseMove(root, 10, root.height - 10)
            tryCompare(page, "settingsMenuVisible", false)
            compare(page.settingsMenuUnhoveredPolls, 0)
            page.titleBar.settingsRequested()
            page.aboutDialogVisible = true
            page.titleBar.settingsRequested()
            verify(!page.settingsMenuVisible)
            page.titleBar.settingsRequested()
            verify(!page.aboutDialogVisible)
        }

        function test_aboutOverlayClicks() {
            var about = createTemporaryObject(aboutComponent, root)
            spy.signalName = "closeRequested"
            spy.target = about
            var card = about.card
            mouseClick(card, card.width / 2, card.height / 2)
            compare(spy.count, 0)
            mouseClick(about, 5, 5)
            compare(spy.count, 1)
            mouseClick(findChild(about, "aboutCloseButton"))
            compare(spy.count, 2)
            compare(findChild(about, "aboutVersion").text, i18n.t("ui.text.about.version_with_arg").replace("%1", "1.0.0.0"))
        }

        function test_aboutFromTheMenu() {
            var loader = createTemporaryObject(pageComponent, root)
            tryCompare(loader, "status", Loader.Ready)
            var page = loader.item
            page.setSettingsMenuVisible(true)
            page.settingsMenu.triggerAction("about")
            verify(page.aboutDialogVisible)
            verify(!page.settingsMenuVisible)
            compare(page.aboutDialog.versionText, "9.8.7")
            compare(page.aboutDialog.companyName, "Test Company")
            mouseClick(page.aboutDialog, 5, 200)
            verify(!page.aboutDialogVisible)
        }

        function test_toastKeepsLastMessage() {
            var loader = createTemporaryObject(pageComponent, root)
            tryCompare(loader, "status", Loader.Ready)
            var page = loader.item
            page.showSettingsStatus("first")
            page.showSettingsStatus("")
            compare(page.settingsStatusText, "first")
            page.showSettingsStatus("second")
            compare(page.settingsStatusText, "second")
        }
    }
}
