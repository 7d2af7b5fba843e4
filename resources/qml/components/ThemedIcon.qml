// Single-colour SVG icon: one file serves every colour, the page picks it through `color`.
import QtQuick 2.14
import QtGraphicalEffects 1.0
import "../shared"

Item {
    id: root

    property url source: ""
    property color color: Theme.textPrimary
    property real iconSize: Math.min(width, height)
    readonly property int status: image.status

    implicitWidth: iconSize
    implicitHeight: iconSize

    Image {
        id: image
        objectName: "themedIconImage"
        anchors.centerIn: parent
        width: root.iconSize
        height: root.iconSize
        source: root.source
        // Rendered at three times the shown size so the icon stays sharp when scaled up on
        // dense screens; the hidden image only feeds the overlay.
        sourceSize.width: Math.max(1, Math.round(root.iconSize * 3))
        sourceSize.height: Math.max(1, Math.round(root.iconSize * 3))
        fillMode: Image.PreserveAspectFit
        smooth: true
        mipmap: true
        visible: false
    }

    ColorOverlay {
        anchors.fill: image
        source: image
        color: root.color
        cached: true
    }
}
