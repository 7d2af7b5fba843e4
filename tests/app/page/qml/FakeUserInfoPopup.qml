// Stand-in for the account popup of the account feature: the members the page uses.
import QtQuick 2.14

Rectangle {
    property string userName: ""
    property string accountId: ""
    property string avatarUrl: ""
    property bool isVirtualAccount: false
    readonly property bool pointerInside: false

    signal logoutRequested()
    signal copyAccountIdRequested()
    signal bindOnlineAccountRequested()

    width: 292
    height: 160
    color: "#222222"
}
