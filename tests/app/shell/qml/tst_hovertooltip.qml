// HoverToolTip: placement at the pointer and near the host's edges, delay and time-out.
import QtQuick 2.14
import QtQuick.Window 2.14
import QtTest 1.2
import "qrc:/qml/components"

TestCase {
    id: testCase
    name: "HoverToolTip"
    when: windowShown

    // TestCase itself is invisible (it takes no pointer events), so the scene has its own window.
    Window {
        id: window
        width: 400
        height: 300
        visible: true

    Item {
        id: host
        width: 300
        height: 200

        MouseArea {
            id: area
            x: targetX
            y: targetY
            width: 60
            height: 30
            hoverEnabled: true
            property real targetX: 0
            property real targetY: 0
        }

        HoverToolTip {
            id: tip
            host: host
            target: area
            text: "Tip text"
            delay: 0
            timeout: 0
        }
    }
    }

    function init() {
        mouseMove(window.contentItem, 390, 290)
        tryCompare(tip, "visible", false)
        tip.text = "Tip text"
        tip.delay = 0
        tip.timeout = 0
        tip.followMouse = true
        tip.maxWidth = -1
    }

    function hoverAt(targetX, targetY, px, py) {
        area.targetX = targetX
        area.targetY = targetY
        mouseMove(area, px, py)
        tryCompare(area, "containsMouse", true)
    }

    function test_placement_data() {
        // Target position in the host, pointer position in the target, and where the tip goes.
        return [
            { tag: "middle: above, right of the pointer", tx: 100, ty: 100, px: 10, py: 10, atRight: false, above: true },
            { tag: "near the top: below the pointer", tx: 100, ty: 0, px: 10, py: 5, atRight: false, above: false },
            { tag: "near the right: shifted left", tx: 240, ty: 100, px: 55, py: 10, atRight: true, above: true },
            { tag: "top-right corner", tx: 240, ty: 0, px: 55, py: 3, atRight: true, above: false }
        ]
    }

    function test_placement(data) {
        hoverAt(data.tx, data.ty, data.px, data.py)
        tryCompare(tip, "visible", true)
        verify(tip.parent === host)
        var pointerX = data.tx + data.px
        var pointerY = data.ty + data.py
        compare(tip.x, data.atRight ? host.width - tip.width - 4 : pointerX + 10)
        compare(tip.y, data.above ? pointerY - tip.height - 10 : pointerY + 10)
    }

    function test_centredAboveTarget() {
        tip.followMouse = false
        hoverAt(100, 100, 5, 5)
        tryCompare(tip, "visible", true)
        compare(tip.x, 100 + 30 - tip.width / 2)
        compare(tip.y, 100 - tip.height - 10)
    }

    function test_bottomEdgeHoldsTheTipInside() {
        // A host too short to put the tip above or fully below the pointer.
        host.height = 40
        hoverAt(100, 5, 10, 20)
        tryCompare(tip, "visible", true)
        compare(tip.y, host.height - tip.height - 4)
        host.height = 200
    }

    function test_sizeAndWidthCap() {
        var natural = tip.width
        verify(natural > 8)
        tip.maxWidth = 30
        compare(tip.width, 30)
        tip.maxWidth = -1
        compare(tip.width, natural)
    }

    function test_emptyTextStaysHidden() {
        tip.text = ""
        hoverAt(100, 100, 10, 10)
        verify(!tip.visible)
    }

    function test_delayThenHideAfterTimeout() {
        tip.delay = 60000
        hoverAt(100, 100, 10, 10)
        verify(!tip.visible)
        mouseMove(window.contentItem, 390, 290)
        tryCompare(area, "containsMouse", false)

        tip.delay = 30
        tip.timeout = 40
        visibleSpy.clear()
        hoverAt(100, 100, 12, 12)
        // Shown, then hidden again while the pointer stays on the target.
        tryCompare(visibleSpy, "count", 2)
        verify(!tip.visible)
        verify(area.containsMouse)
    }

    SignalSpy {
        id: visibleSpy
        target: tip
        signalName: "visibleChanged"
    }

    function test_leavingHides() {
        hoverAt(100, 100, 10, 10)
        tryCompare(tip, "visible", true)
        mouseMove(window.contentItem, 390, 290)
        tryCompare(tip, "visible", false)
    }
}
