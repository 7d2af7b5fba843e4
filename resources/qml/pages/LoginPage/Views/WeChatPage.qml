// The WeChat QR view: the QR page in a small web view, its loading and failure covers, and the
// way to the other methods.
import QtQuick 2.14
import "../Panels"
import "../../../shared"

Item {
    id: page
    objectName: "weChatPage"

    signal qqLoginRequested()
    signal phoneLoginRequested()

    // The dialog always sets the page address; this only keeps the view from loading nothing.
    property string qrPageUrl: "about:blank"
    property int lastLoginMethod: -1
    property bool showVirtualBindTip: false
    property bool qrLoading: true
    property bool qrLoadFailed: false
    // How long a QR page may stay without an answer; tests shorten it.
    property int qrLoadTimeoutMs: 8000
    readonly property alias qrPanel: qrView
    readonly property alias qrLoadTimer: loadTimer

    function userIdForSupport() {
        var uid = String(Guard.read("accountManager", "uid", ""))
        return uid.length > 0 ? uid : String(Guard.read("accountManager", "accountId", ""))
    }

    function openInBrowser() {
        var address = String(Guard.call("accountManager", "weChatBrowserLoginUrl") || "")
        if (address.length === 0)
            address = qrPageUrl
        if (address.length > 0)
            Qt.openUrlExternally(address)
    }

    // A page that neither finishes nor draws in time: a working engine has usually drawn the
    // QR code without telling, so only a missing engine or address counts as a failure.
    function handleLoadTimeout() {
        if (!qrLoading)
            return
        qrLoading = false
        qrLoadFailed = !(qrView.engineAvailable && qrPageUrl.length > 0)
    }

    // The view starts out loading; without an engine no load event may ever come, so the
    // time-out runs from the start too.
    Component.onCompleted: loadTimer.restart()

    Timer {
        id: loadTimer
        objectName: "qrLoadTimer"
        interval: page.qrLoadTimeoutMs
        repeat: false
        onTriggered: page.handleLoadTimeout()
    }

    Column {
        anchors.top: parent.top
        anchors.topMargin: page.showVirtualBindTip ? 16 : 40
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 0

        Rectangle {
            objectName: "virtualBindTip"
            visible: page.showVirtualBindTip
            width: 304
            height: visible ? tipText.implicitHeight + 16 : 0
            radius: Theme.radius
            color: Theme.loginBindTipBackground
            Text {
                id: tipText
                anchors.fill: parent
                anchors.margins: 8
                text: Tr.t("ui.login.virtual_bind_tip")
                color: Theme.loginError
                wrapMode: Text.Wrap
                font.family: Theme.loginFontFamily
                font.pixelSize: Theme.fontSmall
            }
        }

        Item { width: 1; height: page.showVirtualBindTip ? 16 : 0 }

        Item {
            anchors.horizontalCenter: parent.horizontalCenter
            width: titleRow.width
            height: 28
            Row {
                id: titleRow
                spacing: 6
                Image {
                    anchors.verticalCenter: parent.verticalCenter
                    width: 22
                    height: 22
                    sourceSize.width: 44
                    sourceSize.height: 44
                    source: "qrc:/assets/login/ico_wechat_tips.svg"
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: Tr.t("ui.login.wechat_scan_login")
                    color: Theme.loginTextPrimary
                    font.family: Theme.loginFontFamily
                    font.pixelSize: Theme.fontHeading
                    font.bold: true
                }
            }
            LastLoginBadge {
                objectName: "lastLoginBadge"
                visible: page.lastLoginMethod === 0
                x: titleRow.width + 4
                y: -4
            }
        }

        Item { width: 1; height: 20 }

        Item {
            id: qrBox
            anchors.horizontalCenter: parent.horizontalCenter
            width: 160
            height: 160

            MiniBlink {
                id: qrView
                objectName: "qrWebPanel"
                anchors.fill: parent
                url: page.qrPageUrl
                onLoadStarted: {
                    page.qrLoading = true
                    page.qrLoadFailed = false
                    loadTimer.restart()
                }
                onLoadFinished: {
                    page.qrLoading = false
                    page.qrLoadFailed = !success
                    loadTimer.stop()
                }
                onFirstFrameRendered: {
                    page.qrLoading = false
                    page.qrLoadFailed = false
                    loadTimer.stop()
                }
            }

            Rectangle {
                objectName: "qrLoadingCover"
                anchors.fill: parent
                visible: page.qrLoading
                color: Theme.loginCover
                Image {
                    anchors.centerIn: parent
                    width: 32
                    height: 32
                    sourceSize.width: 64
                    sourceSize.height: 64
                    source: "qrc:/assets/login/ico_loading.svg"
                    RotationAnimator on rotation {
                        running: page.qrLoading
                        from: 0
                        to: 360
                        duration: 1000
                        loops: Animation.Infinite
                    }
                }
                MouseArea { anchors.fill: parent }
            }

            Rectangle {
                objectName: "qrFailedCover"
                anchors.fill: parent
                visible: page.qrLoadFailed && !page.qrLoading
                color: Theme.loginPanel
                border.color: Theme.loginFrameBorder
                MouseArea { anchors.fill: parent }
                Column {
                    anchors.centerIn: parent
                    width: parent.width - 16
                    spacing: 6
                    Text {
                        width: parent.width
                        horizontalAlignment: Text.AlignHCenter
                        text: Tr.t("ui.login.qr_load_failed")
                        color: Theme.loginTextPrimary
                        font.family: Theme.loginFontFamily
                        font.pixelSize: Theme.fontBody
                    }
                    Text {
                        objectName: "qrEngineErrorText"
                        width: parent.width
                        visible: text.length > 0
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.Wrap
                        maximumLineCount: 3
                        elide: Text.ElideRight
                        text: qrView.engineError
                        color: Theme.loginTextSecondary
                        font.family: Theme.loginFontFamily
                        font.pixelSize: Theme.fontCaption
                    }
                    LinkText {
                        objectName: "openInBrowserLink"
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: Tr.t("ui.login.open_in_browser")
                        onClicked: page.openInBrowser()
                    }
                }
            }
        }

        Item { width: 1; height: 14 }

        LinkText {
            objectName: "contactSupportLink"
            anchors.horizontalCenter: parent.horizontalCenter
            text: Tr.t("ui.login.contact_support")
            color: Theme.loginTextSecondary
            onClicked: Guard.call("systemActions", "openCustomerService", [page.userIdForSupport()])
        }

        Item { width: 1; height: 28 }

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

        Item { width: 1; height: 16 }

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
                objectName: "phoneMethodButton"
                iconSource: "qrc:/assets/login/ico_phone.svg"
                label: Tr.t("ui.login.phone_login")
                lastUsed: page.lastLoginMethod === 2
                onClicked: page.phoneLoginRequested()
            }
        }
    }
}
