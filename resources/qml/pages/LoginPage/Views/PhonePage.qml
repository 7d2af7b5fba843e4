// The SMS-code view: phone number, image code with its captcha picture, SMS code with the
// send action and its countdown, and the sign-in button. Every input is checked here before
// anything is sent.
import QtQuick 2.14
import "../../../shared"

Item {
    id: page
    objectName: "phonePage"

    signal weChatLoginRequested()
    signal qqLoginRequested()

    property int lastLoginMethod: -1
    property int codeCountDown: 0
    // One step of the countdown; tests shorten it.
    property int countDownStepMs: 1000
    property alias phoneText: phoneField.text
    property alias imageCodeText: imageCodeField.text
    property alias smsCodeText: smsCodeField.text
    property string phoneError: ""
    property string imageCodeError: ""
    property string smsCodeError: ""
    // A captcha was asked for and neither its picture nor a failure has come back: the
    // manager reports both kinds of failure alike, and this one belongs under the image code.
    property bool imageCodeRequestPending: false
    property bool imageCodeRequired: Guard.read("accountManager", "phoneCodeChallengeRequired", false) === true
    property string captchaImageUrl: String(Guard.read("accountManager", "phoneImageCodeUrl", ""))
    readonly property bool loginEnabled: phoneText.length > 0 && smsCodeText.length > 0
                                         && (!imageCodeRequired || imageCodeText.length > 0)
    readonly property alias phoneInput: phoneField.input
    readonly property alias imageCodeInput: imageCodeField.input
    readonly property alias smsCodeInput: smsCodeField.input
    readonly property alias countDownTimer: countDownTimer

    readonly property var account: Guard.object("accountManager")

    function isAsciiDigits(text, count) {
        return text.length === count && /^[0-9]+$/.test(text)
    }

    function checkPhone() {
        if (phoneText.length === 0)
            phoneError = Tr.t("ui.login.error.phone_required")
        else if (!isAsciiDigits(phoneText, 11))
            phoneError = Tr.t("ui.login.error.phone_invalid")
        else
            phoneError = ""
        return phoneError.length === 0
    }

    function checkImageCode() {
        if (imageCodeText.length === 0)
            imageCodeError = Tr.t("ui.login.error.image_code_required")
        else if (imageCodeText.length !== 4)
            imageCodeError = Tr.t("ui.login.error.image_code_invalid")
        else
            imageCodeError = ""
        return imageCodeError.length === 0
    }

    function checkSmsCode() {
        if (smsCodeText.length === 0)
            smsCodeError = Tr.t("ui.login.error.sms_code_required")
        else if (smsCodeText.length !== 4)
            smsCodeError = Tr.t("ui.login.error.sms_code_invalid")
        else
            smsCodeError = ""
        return smsCodeError.length === 0
    }

    function requestSmsCode() {
        if (codeCountDown > 0 || !checkPhone())
            return
        if (imageCodeRequired && !checkImageCode())
            return
        Guard.call("accountManager", "requestPhoneSmsCode", [phoneText, imageCodeText])
    }

    function login() {
        if (!loginEnabled)
            return
        if (!checkPhone() || !checkSmsCode())
            return
        if (imageCodeRequired && !checkImageCode())
            return
        Guard.call("accountManager", "loginByPhoneCode", [phoneText, smsCodeText, imageCodeText])
    }

    function startCountDown() {
        smsCodeError = ""
        codeCountDown = 60
        countDownTimer.restart()
    }

    function countDownTick() {
        if (codeCountDown > 0)
            codeCountDown -= 1
        if (codeCountDown === 0)
            countDownTimer.stop()
    }

    function requestImageCode() {
        imageCodeRequestPending = true
        Guard.call("accountManager", "requestPhoneImageCode")
    }

    function showCodeFailure(message) {
        if (imageCodeRequestPending) {
            imageCodeRequestPending = false
            imageCodeError = message
        } else {
            smsCodeError = message
        }
    }

    // The picture is drawn without a cache, so the same address set again fetches it anew.
    function refreshCaptcha() {
        captchaImageUrl = String(Guard.read("accountManager", "phoneImageCodeUrl", ""))
        captcha.source = ""
        captcha.source = captchaImageUrl
    }

    Timer {
        id: countDownTimer
        objectName: "countDownTimer"
        interval: page.countDownStepMs
        repeat: true
        onTriggered: page.countDownTick()
    }

    Connections {
        target: page.account
        ignoreUnknownSignals: true
        function onPhoneCodeSent() { page.startCountDown() }
        function onPhoneCodeFailed(code, message) { page.showCodeFailure(message) }
        function onPhoneLoginFailed(code, message) { page.smsCodeError = message }
        function onPhoneImageCodeUrlChanged() {
            page.imageCodeRequestPending = false
            page.refreshCaptcha()
        }
        function onPhoneCodeChallengeRequiredChanged() {
            page.imageCodeRequired = Guard.read("accountManager", "phoneCodeChallengeRequired", false) === true
            if (!page.imageCodeRequired)
                page.imageCodeError = ""
        }
    }

    Column {
        anchors.top: parent.top
        anchors.topMargin: 32
        anchors.horizontalCenter: parent.horizontalCenter
        width: 296
        spacing: 0

        Item {
            anchors.horizontalCenter: parent.horizontalCenter
            width: title.implicitWidth
            height: 28
            Text {
                id: title
                text: Tr.t("ui.login.sms_login")
                color: Theme.loginTextPrimary
                font.family: Theme.loginFontFamily
                font.pixelSize: Theme.fontHeading
                font.bold: true
            }
            LastLoginBadge {
                objectName: "lastLoginBadge"
                visible: page.lastLoginMethod === 2
                x: title.width + 4
                y: -4
            }
        }

        Item { width: 1; height: 20 }

        LoginField {
            id: phoneField
            objectName: "phoneField"
            width: parent.width
            iconSource: "qrc:/assets/login/ico_phone_input.svg"
            placeholderText: Tr.t("ui.login.placeholder.phone")
            errorText: page.phoneError
            maximumLength: 11
            inputMethodHints: Qt.ImhDigitsOnly
            validator: RegExpValidator { regExp: /[0-9]{0,11}/ }
        }

        Item { width: 1; height: 12 }

        LoginField {
            id: imageCodeField
            objectName: "imageCodeField"
            width: parent.width
            iconSource: "qrc:/assets/login/ico_code_input.svg"
            placeholderText: Tr.t("ui.login.placeholder.image_code")
            errorText: page.imageCodeError
            trailingWidth: 90

            Image {
                id: captcha
                objectName: "captchaImage"
                anchors.fill: parent
                cache: false
                asynchronous: true
                fillMode: Image.PreserveAspectFit
                Component.onCompleted: source = page.captchaImageUrl
                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: page.requestImageCode()
                }
            }
        }

        Item { width: 1; height: 12 }

        LoginField {
            id: smsCodeField
            objectName: "smsCodeField"
            width: parent.width
            iconSource: "qrc:/assets/login/ico_msg_input.svg"
            placeholderText: Tr.t("ui.login.placeholder.sms_code")
            errorText: page.smsCodeError
            trailingWidth: sendCode.implicitWidth + 8

            Text {
                id: sendCode
                objectName: "sendCodeAction"
                readonly property bool enabledNow: page.codeCountDown === 0
                anchors.right: parent.right
                anchors.rightMargin: 4
                anchors.verticalCenter: parent.verticalCenter
                text: page.codeCountDown > 0 ? String(page.codeCountDown) + Tr.t("ui.login.second")
                                             : Tr.t("ui.login.get_sms_code")
                color: enabledNow ? Theme.accent : Theme.loginTextSecondary
                font.family: Theme.loginFontFamily
                font.pixelSize: Theme.fontBody
                MouseArea {
                    anchors.fill: parent
                    enabled: sendCode.enabledNow
                    cursorShape: sendCode.enabledNow ? Qt.PointingHandCursor : Qt.ArrowCursor
                    onClicked: page.requestSmsCode()
                }
            }
        }

        Item { width: 1; height: 20 }

        Rectangle {
            id: loginButton
            objectName: "loginButton"
            readonly property bool enabledNow: page.loginEnabled
            width: parent.width
            height: 42
            radius: 21
            color: !enabledNow ? Theme.loginButtonDisabled
                               : (loginArea.pressed ? Theme.accentPressed
                                                    : (loginArea.containsMouse ? Theme.accentHover : Theme.accent))
            Text {
                anchors.centerIn: parent
                text: Tr.t("ui.login.login")
                color: Theme.textPrimary
                font.family: Theme.loginFontFamily
                font.pixelSize: Theme.fontTitle
            }
            MouseArea {
                id: loginArea
                anchors.fill: parent
                hoverEnabled: true
                enabled: loginButton.enabledNow
                cursorShape: Qt.PointingHandCursor
                onClicked: page.login()
            }
        }

        Item { width: 1; height: 20 }

        Row {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 10
            Rectangle { anchors.verticalCenter: parent.verticalCenter; width: 70; height: 1; color: Theme.loginFieldBorder }
            Text {
                text: Tr.t("ui.login.other_methods")
                color: Theme.loginTextSecondary
                font.family: Theme.loginFontFamily
                font.pixelSize: Theme.fontSmall
            }
            Rectangle { anchors.verticalCenter: parent.verticalCenter; width: 70; height: 1; color: Theme.loginFieldBorder }
        }

        Item { width: 1; height: 12 }

        Row {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 48
            LoginMethodButton {
                objectName: "qqMethodButton"
                iconSource: "qrc:/assets/login/ico_qq.svg"
                label: Tr.t("ui.login.qq_login")
                lastUsed: page.lastLoginMethod === 1
                onClicked: page.qqLoginRequested()
            }
            LoginMethodButton {
                objectName: "weChatMethodButton"
                iconSource: "qrc:/assets/login/ico_wechat.svg"
                label: Tr.t("ui.login.wechat_login")
                lastUsed: page.lastLoginMethod === 0
                onClicked: page.weChatLoginRequested()
            }
        }
    }
}
