// Delayed tool tip attached to a hover-enabled mouse area, kept inside its host's edges.
import QtQuick 2.14
import "../shared"

Item {
    id: root

    property Item host: null
    property Item target: null
    property string text: ""
    property int delay: 380
    property int timeout: 2200
    property real offsetX: 10
    property real offsetY: 10
    property real edgeMargin: 4
    property bool followMouse: true
    property real maxWidth: -1
    property int textElide: Text.ElideNone
    property real horizontalPadding: 4
    property real verticalPadding: 2
    property int fontPixelSize: 10
    property string fontFamily: "Microsoft YaHei"
    property color textColor: Theme.toolTipText
    property color backgroundColor: Theme.toolTipBackground
    property color borderColor: Theme.toolTipBorder
    property real radius: 1

    readonly property bool hoverActive: enabled && target !== null && target.containsMouse === true
                                        && text.length > 0
    readonly property real naturalWidth: label.implicitWidth + 2 * horizontalPadding

    visible: false
    z: 10000
    width: maxWidth > 0 ? Math.min(maxWidth, naturalWidth) : naturalWidth
    height: label.implicitHeight + 2 * verticalPadding

    function updatePlacement() {
        if (!host || !target)
            return
        var referenceX
        var referenceY
        if (followMouse) {
            var pointer = target.mapToItem(host, target.mouseX, target.mouseY)
            referenceX = pointer.x + offsetX
            referenceY = pointer.y
        } else {
            var topCentre = target.mapToItem(host, target.width / 2, 0)
            referenceX = topCentre.x - width / 2
            referenceY = topCentre.y
        }
        x = Math.max(edgeMargin, Math.min(referenceX, host.width - width - edgeMargin))
        var above = referenceY - height - offsetY
        if (above >= edgeMargin)
            y = above
        else
            y = Math.min(referenceY + offsetY, host.height - height - edgeMargin)
    }

    function showTip() {
        if (!hoverActive)
            return
        updatePlacement()
        visible = true
    }

    function hideTip() {
        showTimer.stop()
        hideTimer.stop()
        visible = false
    }

    function adoptHost() {
        if (host && parent !== host)
            parent = host
    }

    onHostChanged: adoptHost()
    Component.onCompleted: {
        adoptHost()
        if (hoverActive)
            hoverActiveChanged()
    }

    onHoverActiveChanged: {
        if (!hoverActive) {
            hideTip()
        } else if (delay <= 0) {
            showTip()
        } else {
            showTimer.restart()
        }
    }
    onVisibleChanged: {
        if (visible && timeout > 0)
            hideTimer.restart()
    }
    onWidthChanged: if (visible) updatePlacement()
    onHeightChanged: if (visible) updatePlacement()

    Connections {
        target: root.followMouse ? root.target : null
        ignoreUnknownSignals: true
        function onMouseXChanged() { if (root.visible) root.updatePlacement() }
        function onMouseYChanged() { if (root.visible) root.updatePlacement() }
    }

    Timer {
        id: showTimer
        interval: Math.max(0, root.delay)
        repeat: false
        onTriggered: root.showTip()
    }

    Timer {
        id: hideTimer
        interval: Math.max(0, root.timeout)
        repeat: false
        onTriggered: root.visible = false
    }

    Rectangle {
        anchors.fill: parent
        color: root.backgroundColor
        border.width: 1
        border.color: root.borderColor
        radius: root.radius
    }

    Text {
        id: label
        x: root.horizontalPadding
        y: root.verticalPadding
        width: root.width - 2 * root.horizontalPadding
        text: root.text
        color: root.textColor
        font.pixelSize: root.fontPixelSize
        font.family: root.fontFamily
        elide: root.textElide
        wrapMode: Text.NoWrap
        maximumLineCount: 1
    }
}
