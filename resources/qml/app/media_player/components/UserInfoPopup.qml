// The account popup under the user button: picture, name and id with a copy button, the bind
// hint for the device's own account, and sign-out.
import QtQuick 2.14
import QtGraphicalEffects 1.0
import "../../../components"
import "../../../components/FileUrl.js" as FileUrl
import "../../../shared"

Rectangle {
    id: popup

    property string userName: ""
    property string accountId: ""
    property string avatarUrl: ""
    property bool isVirtualAccount: false
    readonly property bool pointerInside: hoverArea.containsMouse
    // The picture as the image element takes it: a local file as a file URL.
    readonly property string avatarSource: avatarUrl.length === 0 ? ""
                                           : (/^(file|qrc|https?|data):/i.test(avatarUrl) ? avatarUrl
                                                                                          : FileUrl.fromLocalPath(avatarUrl))

    signal logoutRequested()
    signal copyAccountIdRequested()
    signal bindOnlineAccountRequested()

    width: 292
    height: content.implicitHeight + 32
    radius: Theme.loginRadius
    color: Theme.popupBackground
    border.color: Theme.pressedOverlay

    // Takes every click on the popup, so nothing under it reacts. The rows sit inside it, so
    // the pointer over one of their buttons still counts as over the popup.
    MouseArea {
        id: hoverArea
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.AllButtons

        Column {
            id: content
            x: 16
            y: 16
            width: parent.width - 32
            spacing: 14

            Row {
                width: parent.width
                spacing: 12

                Item {
                    id: avatarBox
                    width: 42
                    height: 42

                    ThemedIcon {
                        anchors.centerIn: parent
                        iconSize: 28
                        visible: avatar.status !== Image.Ready
                        source: "qrc:/assets/icons/nav_user.svg"
                        color: Theme.textNormal
                    }
                    Image {
                        id: avatar
                        objectName: "popupAvatarImage"
                        anchors.fill: parent
                        source: popup.avatarSource
                        asynchronous: true
                        cache: false
                        fillMode: Image.PreserveAspectCrop
                        visible: false
                    }
                    Rectangle {
                        id: avatarMask
                        anchors.fill: parent
                        radius: width / 2
                        visible: false
                    }
                    OpacityMask {
                        anchors.fill: parent
                        source: avatar
                        maskSource: avatarMask
                        visible: avatar.status === Image.Ready
                    }
                }

                Column {
                    width: parent.width - avatarBox.width - parent.spacing
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 4

                    Text {
                        objectName: "popupUserName"
                        width: parent.width
                        // Nickname and id are the server's: shown as text, never as markup.
                        text: popup.userName
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: Theme.textPrimary
                        font.pixelSize: Theme.fontLarge
                        font.bold: true
                    }

                    Row {
                        width: parent.width
                        spacing: 8
                        Text {
                            id: idText
                            objectName: "popupAccountId"
                            width: Math.min(implicitWidth, parent.width - copyButton.width - parent.spacing)
                            anchors.verticalCenter: parent.verticalCenter
                            text: Tr.t("user.info.account_id", {"id": popup.accountId})
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            color: Theme.textDim
                            font.pixelSize: Theme.fontSmall
                        }
                        Rectangle {
                            id: copyButton
                            objectName: "popupCopyButton"
                            anchors.verticalCenter: parent.verticalCenter
                            width: copyText.implicitWidth + 12
                            height: 20
                            radius: Theme.radiusSmall
                            color: copyArea.containsMouse ? Theme.buttonHoverOverlay : Theme.hoverOverlay
                            Text {
                                id: copyText
                                anchors.centerIn: parent
                                text: Tr.t("ui.text.common.copy")
                                color: Theme.textNormal
                                font.pixelSize: Theme.fontCaption
                            }
                            MouseArea {
                                id: copyArea
                                anchors.fill: parent
                                hoverEnabled: true
                                cursorShape: Qt.PointingHandCursor
                                onClicked: popup.copyAccountIdRequested()
                            }
                        }
                    }
                }
            }

            Rectangle {
                objectName: "popupBindRow"
                visible: popup.isVirtualAccount
                width: parent.width
                height: 36
                radius: Theme.radiusLarge
                color: Theme.hoverOverlay

                Text {
                    anchors.left: parent.left
                    anchors.leftMargin: 10
                    anchors.right: bindButton.left
                    anchors.rightMargin: 8
                    anchors.verticalCenter: parent.verticalCenter
                    text: Tr.t("ui.text.account.bind_hint")
                    elide: Text.ElideRight
                    color: Theme.textMuted
                    font.pixelSize: Theme.fontSmall
                }
                Rectangle {
                    id: bindButton
                    objectName: "popupBindButton"
                    anchors.right: parent.right
                    anchors.rightMargin: 6
                    anchors.verticalCenter: parent.verticalCenter
                    width: bindText.implicitWidth + 16
                    height: 24
                    radius: 12
                    color: bindArea.containsMouse ? Theme.accentHover : Theme.accent
                    Text {
                        id: bindText
                        anchors.centerIn: parent
                        text: Tr.t("ui.text.account.bind_now")
                        color: Theme.textPrimary
                        font.pixelSize: Theme.fontSmall
                    }
                    MouseArea {
                        id: bindArea
                        anchors.fill: parent
                        hoverEnabled: true
                        cursorShape: Qt.PointingHandCursor
                        onClicked: popup.bindOnlineAccountRequested()
                    }
                }
            }

            Rectangle { width: parent.width; height: 1; color: Theme.divider }

            Text {
                objectName: "popupLogoutLink"
                anchors.horizontalCenter: parent.horizontalCenter
                text: Tr.t("ui.text.account.logout")
                color: logoutArea.containsMouse ? Theme.textPrimary : Theme.textMuted
                font.pixelSize: Theme.fontBody
                MouseArea {
                    id: logoutArea
                    anchors.fill: parent
                    anchors.margins: -6
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: popup.logoutRequested()
                }
            }
        }
    }
}
