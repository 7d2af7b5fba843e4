// Text that comes from a server (nickname, account id, messages in toasts, field errors and
// dialogs) is shown as plain text: markup in it is neither drawn nor fetched.
import QtQuick 2.14
import QtTest 1.14

Item {
    id: root
    width: 1280
    height: 760

    readonly property string hostile: "<img src=\"http://127.0.0.1:9/track.png?who=me\" width=60 height=30>"
                                      + "<b><font color=\"red\" size=\"7\">ADMIN</font></b>"

    Component {
        id: pageComponent
        Loader { anchors.fill: parent; source: "qrc:/qml/app/media_player/MediaPlayerPage.qml" }
    }

    function findNamed(item, name) {
        if (!item)
            return null
        if (item.objectName === name)
            return item
        var children = item.children === undefined ? [] : item.children
        for (var i = 0; i < children.length; ++i) {
            var found = findNamed(children[i], name)
            if (found)
                return found
        }
        return null
    }

    TestCase {
        name: "ServerText"
        when: windowShown

        function init() {
            accountManager.reset()
            testServices.clearCalls()
        }

        function verifyPlain(label, shown) {
            verify(label !== null)
            compare(label.textFormat, Text.PlainText)
            compare(label.text, shown)
        }

        function test_titleBarNickname() {
            var loader = createTemporaryObject(pageComponent, root)
            tryCompare(loader, "status", Loader.Ready)
            accountManager.signIn(root.hostile, "acc-1", "", false)
            verifyPlain(findNamed(loader.item.titleBar, "userNameText"), root.hostile)
        }

        function test_components_data() {
            return [
                { tag: "popup nickname", url: "qrc:/qml/app/media_player/components/UserInfoPopup.qml",
                  property: "userName", label: "popupUserName", shown: root.hostile },
                { tag: "popup account id", url: "qrc:/qml/app/media_player/components/UserInfoPopup.qml",
                  property: "accountId", label: "popupAccountId", shown: "ID: " + root.hostile },
                { tag: "status toast", url: "qrc:/qml/app/media_player/components/StatusToast.qml",
                  property: "text", label: "toastText", shown: root.hostile },
                { tag: "sign-in field error", url: "qrc:/qml/pages/LoginPage/Views/LoginField.qml",
                  property: "errorText", label: "errorLine", shown: root.hostile },
                { tag: "result dialog", url: "qrc:/qml/components/ToolResultDialog.qml",
                  property: "messageText", label: "resultDialogMessage", shown: root.hostile }
            ]
        }
        function test_components(data) {
            var component = Qt.createComponent(data.url)
            compare(component.status, Component.Ready, component.errorString())
            var item = createTemporaryObject(component, root, { width: 400, height: 300, visible: true })
            verify(item !== null)
            item[data.property] = root.hostile
            verifyPlain(findNamed(item, data.label), data.shown)
        }
    }
}
