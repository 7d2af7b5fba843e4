// The QQ sign-in page in a rounded frame; the page itself offers every choice.
import QtQuick 2.14
import "../Panels"
import "../../../shared"

Item {
    id: page
    objectName: "qqLoginPage"

    property string loginUrl: ""
    readonly property alias webPanel: web

    implicitWidth: 600
    implicitHeight: 400

    Rectangle {
        width: Math.max(160, page.width)
        height: Math.max(160, page.height)
        radius: Theme.loginRadius
        color: Theme.loginPanel
        border.color: Theme.loginFrameBorder
        clip: true

        MiniBlink {
            id: web
            objectName: "qqWebPanel"
            anchors.fill: parent
            anchors.margins: 4
            url: page.loginUrl
        }
    }
}
