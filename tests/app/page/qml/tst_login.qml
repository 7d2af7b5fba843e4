// The sign-in dialog over a stand-in account manager and web view: which view polls what, the
// phone field's filter, the SMS view's checks, challenge and countdown, how success closes the
// dialog and what it remembers, the QR page's fall-backs, the account popup and the page's host.
import QtQuick 2.14
import QtTest 1.14
import "qrc:/qml/shared"

Item {
    id: root
    width: 1280
    height: 760

    Component {
        id: dialogComponent
        Loader { source: "qrc:/qml/pages/LoginPage/Main.qml" }
    }

    Component {
        id: pageComponent
        Loader { anchors.fill: parent; source: "qrc:/qml/app/media_player/MediaPlayerPage.qml" }
    }

    SignalSpy {
        id: closeSpy
        signalName: "closeRequested"
    }

    TestCase {
        name: "LoginDialog"
        when: windowShown

        function init() {
            accountManager.reset()
            testServices.clearCalls()
            testServices.removeFile(loginDialogSettingsFilePath)
            closeSpy.clear()
        }

        function createDialog() {
            var loader = createTemporaryObject(dialogComponent, root)
            tryCompare(loader, "status", Loader.Ready)
            closeSpy.target = loader.item
            return loader.item
        }

        function phoneView(dialog) {
            dialog.currentView.phoneLoginRequested()
            compare(dialog.currentLoginIndex, 2)
            var view = dialog.currentView
            verify(view && view.objectName === "phonePage")
            return view
        }

        function typeText(input, text) {
            input.forceActiveFocus()
            for (var i = 0; i < text.length; ++i)
                keyClick(text.charAt(i))
        }

        function clickItem(item) {
            mouseClick(item, item.width / 2, item.height / 2)
        }

        // ---- Views and polls ----

        // route: the view signals raised one after the other from a fresh dialog.
        function test_viewsAndPolls_data() {
            return [
                { tag: "WeChat", route: [], index: 0, view: "weChatPage", width: 352, height: 454,
                  requests: { requestWeChatQrLogin: 1, requestQQLogin: 0, requestPhoneImageCode: 0 } },
                { tag: "QQ from WeChat", route: ["qqLoginRequested"], index: 1, view: "qqLoginPage",
                  width: 610, height: 440,
                  requests: { requestWeChatQrLogin: 1, requestQQLogin: 1, requestPhoneImageCode: 0 } },
                { tag: "phone from WeChat", route: ["phoneLoginRequested"], index: 2, view: "phonePage",
                  width: 352, height: 454,
                  requests: { requestWeChatQrLogin: 1, requestQQLogin: 0, requestPhoneImageCode: 1 } },
                { tag: "WeChat from phone", route: ["phoneLoginRequested", "weChatLoginRequested"], index: 0,
                  view: "weChatPage", width: 352, height: 454,
                  requests: { requestWeChatQrLogin: 2, requestQQLogin: 0, requestPhoneImageCode: 1 } },
                { tag: "QQ from phone", route: ["phoneLoginRequested", "qqLoginRequested"], index: 1,
                  view: "qqLoginPage", width: 610, height: 440,
                  requests: { requestWeChatQrLogin: 1, requestQQLogin: 1, requestPhoneImageCode: 1 } }
            ]
        }

        function test_viewsAndPolls(data) {
            var dialog = createDialog()
            for (var i = 0; i < data.route.length; ++i)
                dialog.currentView[data.route[i]]()
            compare(dialog.currentLoginIndex, data.index)
            compare(dialog.currentView.objectName, data.view)
            compare(dialog.width, data.width)
            compare(dialog.height, data.height)
            for (var call in data.requests)
                compare(accountManager.countCalls(call), data.requests[call], call)
            // Only the current view exists.
            var views = ["weChatPage", "qqLoginPage", "phonePage"]
            tryVerify(function () {
                for (var v = 0; v < views.length; ++v) {
                    if ((findChild(dialog, views[v]) !== null) !== (views[v] === data.view))
                        return false
                }
                return true
            }, 5000, "only the current view exists")

            accountManager.clearCalls()
            dialog.pollIntervalMs = 5
            var polled = data.index === 0 ? "pollWeChatLoginStatus" : data.index === 1 ? "pollQQLoginStatus" : ""
            compare(dialog.weChatPollTimer.running, data.index === 0)
            compare(dialog.qqPollTimer.running, data.index === 1)
            if (polled.length > 0)
                tryVerify(function () { return accountManager.countCalls(polled) >= 3 })
            else
                wait(50)
            var other = data.index === 0 ? "pollQQLoginStatus" : "pollWeChatLoginStatus"
            compare(accountManager.countCalls(other), 0)
            if (data.index === 2)
                compare(accountManager.countCalls("pollQQLoginStatus"), 0)
        }

        function test_addressesFollowTheManager() {
            var dialog = createDialog()
            var view = dialog.currentView
            compare(view.qrPageUrl, "")
            accountManager.weChatLoginUrl = "https://login.test/qr?ticket=1"
            compare(view.qrPageUrl, "https://login.test/qr?ticket=1")
            compare(view.qrPanel.url, "https://login.test/qr?ticket=1")
            view.qqLoginRequested()
            accountManager.qqLoginUrl = "https://login.test/qq"
            compare(dialog.currentView.loginUrl, "https://login.test/qq")
            compare(dialog.currentView.webPanel.url, "https://login.test/qq")
        }

        function test_bindTipAndSize() {
            accountManager.setLoginScene(1)
            var dialog = createDialog()
            verify(dialog.openedForVirtualBind)
            verify(dialog.currentView.showVirtualBindTip)
            verify(findChild(dialog, "virtualBindTip").visible)
            compare(dialog.height, 506)
            // The tip follows the scene live; the bind the dialog was opened for does not.
            accountManager.setLoginScene(0)
            verify(!dialog.currentView.showVirtualBindTip)
            compare(dialog.height, 454)
            verify(dialog.openedForVirtualBind)
        }

        // ---- Phone field ----

        function test_phoneFieldTyping_data() {
            return [
                { tag: "digits", typed: "13800138000", expected: "13800138000" },
                { tag: "letters dropped", typed: "1a3b8c", expected: "138" },
                { tag: "twelfth digit dropped", typed: "138001380009", expected: "13800138000" },
                { tag: "signs and blanks dropped", typed: "+86 138-00", expected: "8613800" }
            ]
        }

        function test_phoneFieldTyping(data) {
            var view = phoneView(createDialog())
            typeText(view.phoneInput, data.typed)
            compare(view.phoneText, data.expected)
        }

        // Pasted text passes the same filter: digits only, at most eleven.
        function test_phoneFieldPaste_data() {
            return [
                { tag: "digits", before: "", pasted: "13912345678", expected: "13912345678" },
                { tag: "too long, cut to eleven", before: "", pasted: "139123456789999", expected: "13912345678" },
                { tag: "with a letter", before: "139", pasted: "1234a", expected: "139" },
                { tag: "with blanks", before: "", pasted: "139 1234 5678", expected: "" },
                { tag: "full-width digits", before: "", pasted: "１３９", expected: "" },
                { tag: "past the limit", before: "1391234567", pasted: "89", expected: "13912345678" }
            ]
        }

        function test_phoneFieldPaste(data) {
            var view = phoneView(createDialog())
            typeText(view.phoneInput, data.before)
            testServices.putOnClipboard(data.pasted)
            view.phoneInput.cursorPosition = view.phoneInput.text.length
            view.phoneInput.paste()
            compare(view.phoneText, data.expected)
        }

        // ---- Checks before sending ----

        // What the SMS action sends or which error lines it fills.
        function test_smsCodeRequestChecks_data() {
            var t = function (key) { return i18n.t(key) }
            return [
                { tag: "no phone", phone: "", image: "", required: false, sent: "",
                  phoneError: t("ui.login.error.phone_required"), imageError: "" },
                { tag: "short phone", phone: "1380013800", image: "", required: false, sent: "",
                  phoneError: t("ui.login.error.phone_invalid"), imageError: "" },
                { tag: "phone alone", phone: "13800138000", image: "", required: false,
                  sent: "requestPhoneSmsCode:13800138000:", phoneError: "", imageError: "" },
                { tag: "challenge without image code", phone: "13800138000", image: "", required: true, sent: "",
                  phoneError: "", imageError: t("ui.login.error.image_code_required") },
                { tag: "challenge with short image code", phone: "13800138000", image: "ab1", required: true,
                  sent: "", phoneError: "", imageError: t("ui.login.error.image_code_invalid") },
                { tag: "challenge met", phone: "13800138000", image: "ab12", required: true,
                  sent: "requestPhoneSmsCode:13800138000:ab12", phoneError: "", imageError: "" }
            ]
        }

        function test_smsCodeRequestChecks(data) {
            var view = phoneView(createDialog())
            accountManager.phoneCodeChallengeRequired = data.required
            typeText(view.phoneInput, data.phone)
            typeText(view.imageCodeInput, data.image)
            accountManager.clearCalls()
            clickItem(findChild(view, "sendCodeAction"))
            compare(accountManager.calls.length, data.sent.length > 0 ? 1 : 0)
            if (data.sent.length > 0)
                compare(accountManager.calls[0], data.sent)
            compare(view.phoneError, data.phoneError)
            compare(view.imageCodeError, data.imageError)
            compare(findChild(findChild(view, "phoneField"), "errorLine").visible, data.phoneError.length > 0)
        }

        function test_loginButtonUnderChallenge() {
            var view = phoneView(createDialog())
            var button = findChild(view, "loginButton")
            verify(!button.enabledNow)
            typeText(view.phoneInput, "13800138000")
            verify(!button.enabledNow)
            typeText(view.smsCodeInput, "1234")
            verify(button.enabledNow)
            compare(button.color, Theme.accent)

            // A failure that raised the safety challenge: grey until an image code is typed.
            accountManager.phoneCodeChallengeRequired = true
            accountManager.phoneLoginFailed(28001, "needs the image code")
            compare(view.smsCodeError, "needs the image code")
            verify(view.imageCodeRequired)
            verify(!button.enabledNow)
            compare(button.color, Theme.loginButtonDisabled)
            accountManager.clearCalls()
            clickItem(button)
            compare(accountManager.calls.length, 0)

            typeText(view.imageCodeInput, "ab12")
            verify(button.enabledNow)
            clickItem(button)
            compare(accountManager.calls, ["loginByPhoneCode:13800138000:1234:ab12"])

            // A wrong-length SMS code is stopped in the view.
            view.smsCodeText = "12"
            accountManager.clearCalls()
            clickItem(button)
            compare(accountManager.calls.length, 0)
            compare(view.smsCodeError, i18n.t("ui.login.error.sms_code_invalid"))

            // The challenge lifted: its error line goes with it.
            view.imageCodeText = ""
            view.smsCodeText = "1234"
            clickItem(findChild(view, "sendCodeAction"))
            compare(view.imageCodeError, i18n.t("ui.login.error.image_code_required"))
            accountManager.phoneCodeChallengeRequired = false
            compare(view.imageCodeError, "")
            verify(button.enabledNow)
        }

        function test_captchaFollowsTheManager() {
            var view = phoneView(createDialog())
            var captcha = findChild(view, "captchaImage")
            accountManager.phoneImageCodeUrl = "qrc:/assets/login/ico_phone.svg"
            compare(String(captcha.source), "qrc:/assets/login/ico_phone.svg")
            accountManager.clearCalls()
            clickItem(captcha)
            compare(accountManager.countCalls("requestPhoneImageCode"), 1)
        }

        // ---- Countdown ----

        function test_countdown() {
            var view = phoneView(createDialog())
            var action = findChild(view, "sendCodeAction")
            typeText(view.phoneInput, "13800138000")
            view.smsCodeError = "old failure"
            accountManager.phoneCodeSent()
            compare(view.codeCountDown, 60)
            compare(view.smsCodeError, "")
            verify(view.countDownTimer.running)
            compare(action.text, "60" + i18n.t("ui.login.second"))
            accountManager.clearCalls()
            clickItem(action)
            compare(accountManager.calls.length, 0)

            for (var i = 0; i < 59; ++i)
                view.countDownTimer.triggered()
            compare(view.codeCountDown, 1)
            compare(action.text, "1" + i18n.t("ui.login.second"))
            view.countDownTimer.triggered()
            compare(view.codeCountDown, 0)
            verify(!view.countDownTimer.running)
            compare(action.text, i18n.t("ui.login.get_sms_code"))
            clickItem(action)
            compare(accountManager.calls, ["requestPhoneSmsCode:13800138000:"])

            // The timer itself runs the countdown, at whatever step it is given.
            view.countDownStepMs = 1
            accountManager.phoneCodeSent()
            tryCompare(view, "codeCountDown", 0)
            verify(!view.countDownTimer.running)
        }

        function test_failuresGoToTheSmsLine_data() {
            return [ { tag: "code failed", signal: "phoneCodeFailed" },
                     { tag: "login failed", signal: "phoneLoginFailed" } ]
        }

        function test_failuresGoToTheSmsLine(data) {
            var view = phoneView(createDialog())
            accountManager.phoneImageCodeUrl = "qrc:/assets/login/ico_phone.svg" // the captcha came
            accountManager[data.signal](19312, "图形验证码错误")
            compare(view.smsCodeError, "图形验证码错误")
            compare(view.imageCodeError, "")
            verify(findChild(findChild(view, "smsCodeField"), "errorLine").visible)
        }

        // A captcha that could not be fetched is reported under the image code, whether asked
        // for on opening the view or by a click on the picture; failures after that are the
        // SMS code's again.
        function test_imageCodeFailureGoesToItsLine() {
            var view = phoneView(createDialog())
            var failed = i18n.t("user_pay.login.error.image_captcha_request_failed")
            accountManager.phoneCodeFailed(4, failed)
            compare(view.imageCodeError, failed)
            compare(view.smsCodeError, "")
            verify(findChild(findChild(view, "imageCodeField"), "errorLine").visible)
            verify(!findChild(findChild(view, "phoneField"), "errorLine").visible)
            accountManager.phoneCodeFailed(4, "sms")
            compare(view.smsCodeError, "sms")
            compare(view.imageCodeError, failed)

            view.smsCodeError = ""
            clickItem(findChild(view, "captchaImage"))
            accountManager.phoneImageCodeUrl = "qrc:/assets/login/ico_phone.svg"
            accountManager.phoneCodeFailed(4, "sms again")
            compare(view.smsCodeError, "sms again")
            clickItem(findChild(view, "captchaImage"))
            accountManager.phoneCodeFailed(4, failed)
            compare(view.imageCodeError, failed)
            compare(view.smsCodeError, "sms again")
        }

        // ---- Success and the remembered method ----

        function test_successClosesAndRecords_data() {
            return [
                { tag: "WeChat", signal: "weChatLoginSucceeded", scene: 0, virtualAfter: false, recorded: 0 },
                { tag: "QQ", signal: "qqLoginSucceeded", scene: 0, virtualAfter: false, recorded: 1 },
                { tag: "phone", signal: "phoneLoginSucceeded", scene: 0, virtualAfter: false, recorded: 2 },
                { tag: "WeChat bind", signal: "weChatLoginSucceeded", scene: 1, virtualAfter: false, recorded: -1 },
                { tag: "phone bind", signal: "phoneLoginSucceeded", scene: 1, virtualAfter: false, recorded: -1 },
                { tag: "virtual account", signal: "phoneLoginSucceeded", scene: 0, virtualAfter: true, recorded: -1 }
            ]
        }

        function test_successClosesAndRecords(data) {
            accountManager.setLoginScene(data.scene)
            var dialog = createDialog()
            compare(dialog.lastLoginMethod, -1)
            // A bind keeps its rule even when the scene is set back while it runs.
            accountManager.setLoginScene(0)
            if (data.virtualAfter)
                accountManager.signIn("", "v-1", "", true)
            else
                accountManager.signIn("Nick", "acc-1", "", false)
            accountManager[data.signal]()
            compare(closeSpy.count, 1)
            compare(dialog.lastLoginMethod, data.recorded)
            dialog.parent.destroy()
            wait(0)
            var stored = testServices.readIni(loginDialogSettingsFilePath, "LoginDialog/lastLoginMethod")
            compare(stored === undefined ? -1 : Number(stored), data.recorded)

            // The next dialog tags the method, and still opens on WeChat.
            accountManager.reset()
            var next = createDialog()
            compare(next.lastLoginMethod, data.recorded)
            compare(next.currentLoginIndex, 0)
            compare(findChild(next, "qqMethodButton").lastUsed, data.recorded === 1)
            compare(findChild(next, "phoneMethodButton").lastUsed, data.recorded === 2)
        }

        // What the file holds is read back only within the method range.
        function test_storedMethodReadBack_data() {
            return [
                { tag: "phone", stored: "2", read: 2 },
                { tag: "none", stored: "-1", read: -1 },
                { tag: "out of range", stored: "7", read: -1 },
                { tag: "below range", stored: "-5", read: -1 },
                { tag: "not a number", stored: "qq", read: -1 }
            ]
        }

        function test_storedMethodReadBack(data) {
            verify(testServices.writeText(loginDialogSettingsFilePath,
                                          "[LoginDialog]\nlastLoginMethod=" + data.stored + "\n"))
            var dialog = createDialog()
            compare(dialog.lastLoginMethod, data.read)
            // Nothing new to record: a negative method, or the one already stored.
            dialog.recordLoginMethod(-1)
            compare(dialog.lastLoginMethod, data.read)
        }

        // ---- QR page fall-backs ----

        // The QR page neither finishes nor draws: shown as it is while an engine can show it.
        function test_qrTimeout_data() {
            return [
                { tag: "engine and address", engine: true, url: "https://login.test/qr", failed: false },
                { tag: "engine, no address", engine: true, url: "", failed: true },
                { tag: "no engine", engine: false, url: "https://login.test/qr", failed: true }
            ]
        }

        function test_qrTimeout(data) {
            accountManager.weChatLoginUrl = data.url
            var view = createDialog().currentView
            var webView = view.qrPanel.view
            webView.engineAvailable = data.engine
            webView.engineError = data.engine ? "" : "web engine not found"
            view.qrLoadTimeoutMs = 5
            webView.loadStarted()
            verify(view.qrLoading)
            verify(findChild(view, "qrLoadingCover").visible)
            tryCompare(view, "qrLoading", false)
            compare(view.qrLoadFailed, data.failed)
            compare(findChild(view, "qrFailedCover").visible, data.failed)
            compare(findChild(view, "qrEngineErrorText").visible, data.failed && !data.engine)
        }

        function test_qrLoadEvents() {
            accountManager.weChatLoginUrl = "https://login.test/qr"
            var view = createDialog().currentView
            var webView = view.qrPanel.view
            webView.engineAvailable = true
            webView.loadStarted()
            webView.loadFinished(false)
            verify(!view.qrLoading)
            verify(view.qrLoadFailed)
            verify(!view.qrLoadTimer.running)
            webView.loadStarted()
            verify(!view.qrLoadFailed)
            verify(view.qrLoadTimer.running)
            webView.firstFrameRendered()
            verify(!view.qrLoading)
            verify(!view.qrLoadFailed)
            verify(!view.qrLoadTimer.running)
        }

        function test_contactSupportUsesTheUserId_data() {
            return [
                { tag: "uid", uid: "uid-9", accountId: "acc-1", expected: "uid-9" },
                { tag: "account id", uid: "", accountId: "acc-1", expected: "acc-1" },
                { tag: "nobody", uid: "", accountId: "", expected: "" }
            ]
        }

        function test_contactSupportUsesTheUserId(data) {
            accountManager.signIn("", data.accountId, data.uid, true)
            var view = createDialog().currentView
            clickItem(findChild(view, "contactSupportLink"))
            compare(testServices.countCalls("openCustomerService:"), 1)
            compare(testServices.calls[testServices.calls.length - 1], "openCustomerService:" + data.expected)
        }
    }

    TestCase {
        name: "AccountPopupAndHost"
        when: windowShown

        function init() {
            accountManager.reset()
            testServices.clearCalls()
        }

        function createPage() {
            var loader = createTemporaryObject(pageComponent, root)
            tryCompare(loader, "status", Loader.Ready)
            return loader.item
        }

        function popupOf(page) {
            var loader = findChild(page, "userInfoPopupLoader")
            tryCompare(loader, "status", Loader.Ready)
            return loader.item
        }

        function test_popupValues_data() {
            return [
                { tag: "virtual", nickname: "", accountId: "v-1", uid: "", virtual: true,
                  name: "local", id: "v-1" },
                { tag: "nickname", nickname: "Nick", accountId: "acc-1", uid: "uid-9", virtual: false,
                  name: "Nick", id: "uid-9" },
                { tag: "no nickname", nickname: "", accountId: "acc-1", uid: "", virtual: false,
                  name: "acc-1", id: "acc-1" }
            ]
        }

        function test_popupValues(data) {
            var page = createPage()
            accountManager.avatarLocalPath = "/nonexistent/tvx avatar#1.jpg"
            accountManager.signIn(data.nickname, data.accountId, data.uid, data.virtual)
            page.handleUserButton()
            var popup = popupOf(page)
            var name = data.name === "local" ? i18n.t("ui.text.account.local_account") : data.name
            compare(popup.userName, name)
            compare(findChild(popup, "popupUserName").text, name)
            compare(popup.accountId, data.id)
            compare(findChild(popup, "popupAccountId").text, i18n.t("user.info.account_id", {"id": data.id}))
            compare(popup.isVirtualAccount, data.virtual)
            compare(findChild(popup, "popupBindRow").visible, data.virtual)
            compare(popup.avatarUrl, "/nonexistent/tvx avatar#1.jpg")
            compare(popup.avatarSource, "file:///nonexistent/tvx%20avatar%231.jpg")
            verify(popup.width === 292)
        }

        // The pointer on one of the popup's buttons is still on the popup, so it stays open.
        function test_popupHoverCoversItsButtons() {
            var page = createPage()
            accountManager.signIn("", "v-1", "", true)
            page.handleUserButton()
            var popup = popupOf(page)
            var names = ["popupCopyButton", "popupBindButton", "popupLogoutLink"]
            for (var i = 0; i < names.length; ++i) {
                var target = findChild(popup, names[i])
                mouseMove(target, target.width / 2, target.height / 2)
                tryVerify(function () { return popup.pointerInside }, 2000, names[i])
            }
            mouseMove(page, 10, page.height - 10)
            tryVerify(function () { return !popup.pointerInside })
        }

        function test_popupActions() {
            var page = createPage()
            accountManager.signIn("", "v-1", "", true)
            page.handleUserButton()
            var popup = popupOf(page)
            mouseClick(findChild(popup, "popupCopyButton"))
            compare(testServices.countCalls("copy:v-1"), 1)
            compare(page.settingsStatusText, i18n.t("ui.text.account.id_copied"))

            // Bind: the popup goes, the dialog comes in the bind scene although signed in.
            mouseClick(findChild(popup, "popupBindButton"))
            verify(!page.userInfoPopupVisible)
            verify(page.loginDialogVisible)
            compare(accountManager.loginScene, 1)
            var overlay = findChild(page, "loginOverlay")
            tryVerify(function () { return overlay.visible })
            verify(findChild(page, "loginDialog").openedForVirtualBind)
            // No popup while the dialog is up.
            page.openUserInfoPopup(true)
            verify(!page.userInfoPopupVisible)

            // Closing during a bind sets the scene back.
            mouseClick(findChild(page, "loginCloseButton"))
            verify(!page.loginDialogVisible)
            compare(accountManager.loginScene, 0)
            tryVerify(function () { return findChild(page, "loginDialog") === null })

            page.handleUserButton()
            popup = popupOf(page)
            mouseClick(findChild(popup, "popupLogoutLink"))
            verify(!page.userInfoPopupVisible)
            compare(accountManager.countCalls("logout"), 1)
        }

        function test_dialogOnTheCover() {
            var page = createPage()
            var overlay = findChild(page, "loginOverlay")
            page.titleBar.userInfoRequested()
            compare(accountManager.countCalls("scene:0"), 1)
            tryVerify(function () { return overlay.visible })
            var dialog = findChild(page, "loginDialog")
            verify(dialog)
            compare(accountManager.countCalls("requestWeChatQrLogin"), 1)
            // A click inside the dialog stays there; one on the cover closes it.
            mouseClick(dialog, 20, dialog.height - 20)
            verify(page.loginDialogVisible)
            mouseClick(overlay, 10, 10)
            verify(!page.loginDialogVisible)
            verify(!overlay.visible)
            tryVerify(function () { return findChild(page, "loginDialog") === null })

            // Signing in closes it too.
            page.titleBar.userInfoRequested()
            tryVerify(function () { return overlay.visible })
            accountManager.signIn("Nick", "acc-1", "", false)
            verify(!page.loginDialogVisible)
            verify(!overlay.visible)
            compare(page.titleBar.userName, "Nick")
        }

        // A dialog that cannot load leaves the page usable: no cover, no state left on.
        function test_noCoverWithoutADialog() {
            var page = createPage()
            page.loginDialogSource = Qt.resolvedUrl("NoSuchDialog.qml")
            ignoreWarning(new RegExp("NoSuchDialog"))
            page.titleBar.userInfoRequested()
            var overlay = findChild(page, "loginOverlay")
            verify(!overlay.visible)
            tryVerify(function () { return !page.loginDialogVisible })
            // The settings button still answers.
            page.titleBar.settingsRequested()
            verify(page.settingsMenuVisible)
        }
    }
}
