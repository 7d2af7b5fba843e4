// The page's account elements over a stand-in account manager: display names, the user
// button's two roads, the popup's rules (never in full screen or signed out, refresh at most
// every 5 s unless forced) and its requests.
import QtQuick 2.14
import QtTest 1.14

Item {
    id: root
    width: 1280
    height: 760

    Component {
        id: pageComponent
        Loader { anchors.fill: parent; source: "qrc:/qml/app/media_player/MediaPlayerPage.qml" }
    }

    TestCase {
        name: "PageAccount"
        when: windowShown

        function init() {
            accountManager.reset()
            testServices.clearCalls()
        }

        function createPage() {
            var loader = createTemporaryObject(pageComponent, root)
            tryCompare(loader, "status", Loader.Ready)
            loader.item.userInfoPopupSource = Qt.resolvedUrl("FakeUserInfoPopup.qml")
            return loader.item
        }

        function test_displayNames() {
            var page = createPage()
            compare(page.titleBar.userName, i18n.t("ui.text.account.login"))
            accountManager.signIn("", "", "", true)
            compare(page.titleBar.userName, i18n.t("ui.text.account.local_account"))
            accountManager.signIn("Nick", "acc-1", "", false)
            compare(page.titleBar.userName, "Nick")
            accountManager.signIn("", "acc-1", "", false)
            compare(page.titleBar.userName, "acc-1")
            compare(page.accountIdText(), "acc-1")
            accountManager.signIn("", "acc-1", "uid-9", false)
            compare(page.accountIdText(), "uid-9")
        }

        function test_userButtonSignedOutStartsLogin() {
            var page = createPage()
            page.titleBar.userInfoRequested()
            verify(page.loginDialogVisible)
            verify(!page.userInfoPopupVisible)
            compare(accountManager.countCalls("scene:0"), 1)
            page.closeLoginDialog()
            verify(!page.loginDialogVisible)
            compare(accountManager.countCalls("scene:0"), 2)
            page.openUserInfoPopup(true)
            verify(!page.userInfoPopupVisible)
        }

        function test_userButtonSignedInOpensPopupAndRefreshes() {
            var page = createPage()
            accountManager.signIn("Nick", "acc-1", "uid-9", false)
            page.titleBar.userInfoRequested()
            verify(page.userInfoPopupVisible)
            verify(!page.loginDialogVisible)
            compare(accountManager.countCalls("refresh"), 1)
            // Reopening within 5 s does not refresh again, the user button does.
            page.userInfoPopupVisible = false
            page.openUserInfoPopup(false)
            compare(accountManager.countCalls("refresh"), 1)
            page.handleUserButton()
            compare(accountManager.countCalls("refresh"), 2)
        }

        function test_popupNeverInFullScreen() {
            var page = createPage()
            accountManager.signIn("Nick", "acc-1", "", false)
            page.playerView.fullScreen = true
            page.openUserInfoPopup(true)
            verify(!page.userInfoPopupVisible)
            page.playerView.fullScreen = false
            page.openUserInfoPopup(true)
            verify(page.userInfoPopupVisible)
            page.playerView.fullScreen = true
            verify(!page.userInfoPopupVisible)
            page.playerView.fullScreen = false
        }

        function test_popupRequests() {
            var page = createPage()
            accountManager.signIn("Nick", "acc-1", "uid-9", false)
            page.openUserInfoPopup(true)
            var popup = findChild(page, "userInfoPopupLoader").item
            verify(popup)
            compare(popup.userName, "Nick")
            compare(popup.accountId, "uid-9")
            popup.copyAccountIdRequested()
            compare(testServices.countCalls("copy:uid-9"), 1)
            compare(page.settingsStatusText, i18n.t("ui.text.account.id_copied"))
            popup.bindOnlineAccountRequested()
            verify(page.loginDialogVisible)
            verify(page.forceLoginDialogForBinding)
            compare(accountManager.countCalls("scene:1"), 1)
            page.closeLoginDialog()
            verify(!page.forceLoginDialogForBinding)
            page.openUserInfoPopup(true)
            findChild(page, "userInfoPopupLoader").item.logoutRequested()
            verify(!page.userInfoPopupVisible)
            compare(accountManager.countCalls("logout"), 1)
        }

        function test_signInClosesLoginAndSignOutClosesPopup() {
            var page = createPage()
            page.startLoginFlow(0)
            accountManager.signIn("Nick", "acc-1", "", false)
            verify(!page.loginDialogVisible)
            page.openUserInfoPopup(true)
            verify(page.userInfoPopupVisible)
            accountManager.reset()
            verify(!page.userInfoPopupVisible)
            compare(page.titleBar.userName, i18n.t("ui.text.account.login"))
        }
    }
}
