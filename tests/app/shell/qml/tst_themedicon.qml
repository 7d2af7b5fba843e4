// ThemedIcon: rendered at three times its size, drawn entirely in its colour, recoloured
// without reloading.
import QtQuick 2.14
import QtQuick.Window 2.14
import QtTest 1.2
import "qrc:/qml/components"

TestCase {
    id: testCase
    name: "ThemedIcon"
    when: windowShown

    // TestCase itself is invisible (nothing of it is drawn), so icons go into a window of their own.
    Window {
        id: window
        width: 200
        height: 200
        visible: true
        color: "#000000"
    }

    Component {
        id: iconComponent
        ThemedIcon {}
    }

    function test_renderSize_data() {
        return [
            { tag: "18 px", size: 18, sourceSize: 54 },
            { tag: "fractional size rounds", size: 10.5, sourceSize: 32 },
            { tag: "zero size still one pixel", size: 0, sourceSize: 1 }
        ]
    }

    function test_renderSize(data) {
        var icon = createTemporaryObject(iconComponent, testCase,
                                         { iconSize: data.size, source: Qt.resolvedUrl("square.svg") })
        var image = findChild(icon, "themedIconImage")
        verify(image)
        compare(image.sourceSize.width, data.sourceSize)
        compare(image.sourceSize.height, data.sourceSize)
        compare(icon.implicitWidth, data.size)
        compare(image.width, data.size)
        tryCompare(icon, "status", Image.Ready)
    }

    function test_sizeFollowsItemWhenNotSet() {
        var icon = createTemporaryObject(iconComponent, testCase, { width: 40, height: 24 })
        compare(icon.iconSize, 24)
        compare(findChild(icon, "themedIconImage").sourceSize.width, 72)
    }

    function test_tintAndRecolour() {
        var icon = createTemporaryObject(iconComponent, window.contentItem,
                                         { x: 10, y: 10, iconSize: 18, color: "#FF0000",
                                           source: Qt.resolvedUrl("square.svg") })
        tryCompare(icon, "status", Image.Ready)
        waitForRendering(icon)
        var shot = grabImage(icon)
        verify(Qt.colorEqual(shot.pixel(9, 9), "#FF0000"), "centre is " + shot.pixel(9, 9))
        verify(Qt.colorEqual(shot.pixel(1, 16), "#FF0000"), "corner is " + shot.pixel(1, 16))

        var statusSpy = createTemporaryObject(spyComponent, testCase, { target: icon, signalName: "statusChanged" })
        icon.color = "#00FF00"
        waitForRendering(icon)
        shot = grabImage(icon)
        verify(Qt.colorEqual(shot.pixel(9, 9), "#00FF00"), "centre is " + shot.pixel(9, 9))
        compare(statusSpy.count, 0)
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }
}
