// The playback settings dialog on a real engine playing a clip: speed and picture reach mpv.
import QtQuick 2.14
import QtTest 1.2
import Tavrixo 1.0
import "qrc:/qml/app/media_player/components"

TestCase {
    id: testCase
    name: "PlaybackSettingsOnEngine"
    when: windowShown

    property var engine: null
    property var dialog: null

    Component {
        id: engineComponent
        MpvEngine {}
    }

    Component {
        id: dialogComponent
        PlaybackSettingsDialog {}
    }

    function init() {
        verify(typeof testClipUrl === "string" && testClipUrl.length > 0)
        engine = createTemporaryObject(engineComponent, testCase)
        verify(engine.playFile(testClipUrl))
        tryVerify(function () { return engine.duration > 0 }, 10000)
        dialog = createTemporaryObject(dialogComponent, testCase, { playerEngine: engine })
        dialog.showWindow()
    }

    function cleanup() {
        // Back to the defaults, so the next engine reads a clean player.ini.
        dialog.resetPlaybackPage()
        dialog.resetVideoPage()
    }

    function child(name) {
        var item = findChild(dialog.contentItem, name)
        verify(item !== null, "no item " + name)
        return item
    }

    function test_speedFieldChangesPlayback() {
        var field = child("speedField")
        field.text = "1.5"
        field.editingFinished()
        compare(field.text, "1.50")
        fuzzyCompare(engine.playbackSpeed, 1.5, 1e-9)
        fuzzyCompare(engine.preferredPlaybackSpeed, 1.5, 1e-9)
        compare(child("speedSlider").value, 1.5)
    }

    function test_pictureControlsChangeTheEngine() {
        dialog.currentMenuIndex = 1
        var brightness = child("brightnessSlider")
        brightness.slider.value = 40
        brightness.slider.moved()
        compare(engine.videoBrightness, 0)
        tryCompare(engine, "videoBrightness", 40)

        child("rotationChooser").activated(1)
        compare(engine.videoRotation, 90)
        child("aspectChooser").activated(3)
        compare(engine.aspectMode, "fill")
        mouseClick(child("cropBlackBarsCheck"))
        verify(engine.cropBlackBars)

        mouseClick(findChild(child("videoPage"), "resetButton"))
        compare(engine.videoBrightness, 0)
        compare(engine.videoRotation, 0)
        compare(engine.aspectMode, "default")
        verify(!engine.cropBlackBars)
    }
}
