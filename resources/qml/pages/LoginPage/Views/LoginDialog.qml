// The sign-in dialog: one view at a time (WeChat, QQ, SMS code), the status polls of the QR
// views, and the remembered sign-in method that tags the method used last.
import QtQuick 2.14
import Qt.labs.settings 1.0
import "../../../shared"
import "../../../components"

Rectangle {
    id: dialog
    objectName: "loginDialog"

    signal closeRequested()

    property int currentLoginIndex: 0
    property int lastLoginMethod: -1
    // Set once at creation: a bind stays a bind even when the scene changes under the dialog.
    property bool openedForVirtualBind: false
    readonly property bool showVirtualBindTip: Guard.read("accountManager", "loginScene", 0) === 1
    readonly property string weChatLoginUrl: String(Guard.read("accountManager", "weChatLoginUrl", ""))
    readonly property string qqLoginUrl: String(Guard.read("accountManager", "qqLoginUrl", ""))
    // The status polls' period; tests shorten it.
    property int pollIntervalMs: 1000
    readonly property var currentView: viewLoader.item
    readonly property alias weChatPollTimer: weChatPoll
    readonly property alias qqPollTimer: qqPoll

    readonly property var account: Guard.object("accountManager")

    implicitWidth: currentLoginIndex === 1 ? 610 : 352
    implicitHeight: currentLoginIndex === 1 ? 440 : (showVirtualBindTip ? 506 : 454)
    width: implicitWidth
    height: implicitHeight
    radius: Theme.loginRadius
    color: Theme.loginPanel

    function showWeChat() {
        currentLoginIndex = 0
        Guard.call("accountManager", "requestWeChatQrLogin")
    }

    function showQQ() {
        currentLoginIndex = 1
        Guard.call("accountManager", "requestQQLogin")
    }

    function showPhone() {
        currentLoginIndex = 2
        // Through the view, which shows a failure of this request under the image code.
        viewLoader.item.requestImageCode()
    }

    // Neither a bind nor a sign-in made from the device's own account says how the user
    // signs in, so neither is remembered.
    function recordLoginMethod(method) {
        if (method < 0 || Guard.read("accountManager", "virtualAccount", false) === true
                || method === lastLoginMethod)
            return
        lastLoginMethod = method
        // Without its own file the choice would land in the program's general settings.
        if (settings.fileName.length > 0)
            settings.lastLoginMethod = method
    }

    function finishLogin(method) {
        if (!openedForVirtualBind)
            recordLoginMethod(method)
        closeRequested()
    }

    Settings {
        id: settings
        fileName: String(Guard.object("loginDialogSettingsFilePath") || "")
        category: "LoginDialog"
        // Untyped, so that whatever the file holds reaches the range check below.
        property var lastLoginMethod: -1
    }

    Component.onCompleted: {
        openedForVirtualBind = Guard.read("accountManager", "loginScene", 0) === 1
        var stored = Number(settings.lastLoginMethod)
        lastLoginMethod = stored >= 0 && stored <= 2 && Math.floor(stored) === stored ? stored : -1
        Guard.call("accountManager", "requestWeChatQrLogin")
    }

    Connections {
        target: dialog.account
        ignoreUnknownSignals: true
        function onWeChatLoginSucceeded() { dialog.finishLogin(0) }
        function onQqLoginSucceeded() { dialog.finishLogin(1) }
        function onPhoneLoginSucceeded() { dialog.finishLogin(2) }
    }

    Timer {
        id: weChatPoll
        objectName: "weChatPollTimer"
        interval: dialog.pollIntervalMs
        repeat: true
        running: dialog.currentLoginIndex === 0 && dialog.account !== null
        onTriggered: Guard.call("accountManager", "pollWeChatLoginStatus")
    }

    Timer {
        id: qqPoll
        objectName: "qqPollTimer"
        interval: dialog.pollIntervalMs
        repeat: true
        running: dialog.currentLoginIndex === 1 && dialog.account !== null
        onTriggered: Guard.call("accountManager", "pollQQLoginStatus")
    }

    Component {
        id: weChatView
        WeChatPage {
            qrPageUrl: dialog.weChatLoginUrl
            lastLoginMethod: dialog.lastLoginMethod
            showVirtualBindTip: dialog.showVirtualBindTip
            onQqLoginRequested: dialog.showQQ()
            onPhoneLoginRequested: dialog.showPhone()
        }
    }

    Component {
        id: qqView
        QQLoginPage {
            loginUrl: dialog.qqLoginUrl
        }
    }

    Component {
        id: phoneView
        PhonePage {
            lastLoginMethod: dialog.lastLoginMethod
            onWeChatLoginRequested: dialog.showWeChat()
            onQqLoginRequested: dialog.showQQ()
        }
    }

    // Only the current view exists; leaving a view destroys it with its web page.
    Loader {
        id: viewLoader
        anchors.fill: parent
        anchors.topMargin: dialog.currentLoginIndex === 1 ? 40 : 0
        anchors.margins: dialog.currentLoginIndex === 1 ? 5 : 0
        sourceComponent: dialog.currentLoginIndex === 1 ? qqView : (dialog.currentLoginIndex === 2 ? phoneView : weChatView)
    }

    Rectangle {
        id: closeButton
        objectName: "loginCloseButton"
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.margins: 8
        width: 28
        height: 28
        radius: 14
        color: closeArea.containsMouse ? Theme.loginCloseHover : Theme.transparent
        ThemedIcon {
            anchors.centerIn: parent
            iconSize: 16
            source: "qrc:/assets/icons/window_close.svg"
            color: Theme.loginTextSecondary
        }
        MouseArea {
            id: closeArea
            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: dialog.closeRequested()
        }
    }
}
