// Playback settings dialog against a recording engine: speed field, delay nudges, the picture
// debounce, resets, and subtitle picks that go through the host and show its verdict.
import QtQuick 2.14
import QtTest 1.2
import "qrc:/qml/app/media_player/components"
import "SubtitleHost.js" as SubtitleHost

TestCase {
    id: testCase
    name: "PlaybackSettingsDialog"
    when: windowShown

    property var dialog: null
    property var engine: null
    property var statusKeys: []

    Component {
        id: engineComponent
        FakeEngine {}
    }

    Component {
        id: dialogComponent
        PlaybackSettingsDialog {}
    }

    // What the player view does with the dialog's subtitle signals.
    function answerTrackChoice(secondary, trackId) {
        var key = SubtitleHost.answer(engine, secondary, trackId)
        if (key.length > 0)
            statusKeys = statusKeys.concat([key])
    }

    function init() {
        engine = createTemporaryObject(engineComponent, testCase)
        dialog = createTemporaryObject(dialogComponent, testCase, {
            playerEngine: engine,
            audioTrackOptions: [{ id: 0, title: "default" }, { id: 1, title: "eng" }],
            subtitleTrackOptions: [{ id: -1, title: "none" }, { id: 2, title: "English" },
                                   { id: 3, title: "Chinese" }]
        })
        dialog.primarySubtitleTrackSelectionRequested.connect(function (id) { answerTrackChoice(false, id) })
        dialog.secondarySubtitleTrackSelectionRequested.connect(function (id) { answerTrackChoice(true, id) })
        statusKeys = []
        dialog.showWindow()
        waitForRendering(dialog.contentItem)
    }

    function child(name) {
        var item = findChild(dialog.contentItem, name)
        verify(item !== null, "no item " + name)
        return item
    }

    function showPage(index) {
        dialog.currentMenuIndex = index
        waitForRendering(dialog.contentItem)
    }

    function test_speedField_data() {
        return [
            { tag: "below the range", text: "0.3", shown: "0.50", speed: 0.5 },
            { tag: "three decimals", text: "1.234", shown: "1.23", speed: 1.23 },
            { tag: "above the range", text: "7", shown: "2.00", speed: 2.0 },
            { tag: "not a number", text: "fast", shown: "1.25", speed: -1 },
            { tag: "empty", text: "", shown: "1.25", speed: -1 }
        ]
    }

    function test_speedField(data) {
        engine.playbackSpeed = 1.25
        var field = child("speedField")
        field.text = data.text
        field.editingFinished()
        compare(field.text, data.shown)
        if (data.speed < 0) {
            compare(engine.calls.length, 0)
            return
        }
        compare(engine.callNames(), ["setPreferredPlaybackSpeed", "setPlaybackSpeed"])
        fuzzyCompare(engine.preferredPlaybackSpeed, data.speed, 1e-9)
        fuzzyCompare(engine.playbackSpeed, data.speed, 1e-9)
    }

    function test_speedFieldTypedAndConfirmed() {
        var field = child("speedField")
        mouseDoubleClickSequence(field)
        field.selectAll()
        keyClick(Qt.Key_0)
        keyClick(Qt.Key_Period)
        keyClick(Qt.Key_3)
        keyClick(Qt.Key_Return)
        compare(field.text, "0.50")
        fuzzyCompare(engine.playbackSpeed, 0.5, 1e-9)
    }

    function test_delayNudge_data() {
        return [
            { tag: "plus at the upper limit", row: "audioDelayRow", start: "9950", button: "delayPlus", expected: 10000, setter: "setAudioDelayMs", page: 2 },
            { tag: "minus on an empty field", row: "audioDelayRow", start: "", button: "delayMinus", expected: -100, setter: "setAudioDelayMs", page: 2 },
            { tag: "minus at the lower limit", row: "subtitleDelayRow", start: "-10000", button: "delayMinus", expected: -10000, setter: "setSubtitleDelayMs", page: 3 },
            { tag: "plus on text", row: "secondarySubtitleDelayRow", start: "-", button: "delayPlus", expected: 100, setter: "setSecondarySubtitleDelayMs", page: 3 }
        ]
    }

    function test_delayNudge(data) {
        showPage(data.page)
        var row = child(data.row)
        row.text = data.start
        mouseClick(findChild(row, data.button))
        compare(row.text, String(data.expected))
        var calls = engine.callsNamed(data.setter)
        compare(calls.length, 1)
        compare(calls[0].value, data.expected)
    }

    function test_delayFieldConfirmed_data() {
        return [
            { tag: "out of range", text: "25000", expected: 10000 },
            { tag: "not a number", text: "-", expected: 0 },
            { tag: "plain", text: "-350", expected: -350 }
        ]
    }

    function test_delayFieldConfirmed(data) {
        showPage(2)
        var row = child("audioDelayRow")
        row.text = data.text
        row.field.editingFinished()
        compare(row.text, String(data.expected))
        compare(engine.audioDelayMs, data.expected)
    }

    function test_withoutEngineNothingChanges() {
        dialog.playerEngine = null
        showPage(2)
        var row = child("audioDelayRow")
        row.text = "40"
        mouseClick(findChild(row, "delayPlus"))
        compare(row.text, "40")
        var field = child("speedField")
        field.text = "1.5"
        field.editingFinished()
        compare(field.text, "1.5")
        compare(engine.calls.length, 0)
    }

    function test_brightnessDragReachesEngineOnce() {
        showPage(1)
        var adjust = child("brightnessSlider")
        var slider = adjust.slider
        var handleHalf = slider.handle.width / 2
        var travel = slider.availableWidth - slider.handle.width
        var y = slider.height / 2
        var startX = slider.leftPadding + handleHalf + 0.5 * travel
        var endX = slider.leftPadding + handleHalf + 0.7 * travel
        mousePress(slider, startX, y)
        for (var step = 1; step <= 10; ++step)
            mouseMove(slider, startX + (endX - startX) * step / 10, y, -1, Qt.LeftButton)
        mouseRelease(slider, endX, y)

        compare(Math.round(adjust.value), 40)
        verify(adjust.pending)
        tryCompare(engine, "videoBrightness", 40)
        compare(engine.callsNamed("setVideoBrightness").length, 1)
        // Nothing further arrives once the interval has passed again.
        wait(dialog.videoAdjustDebounceMs + 100)
        compare(engine.callNames(), ["setVideoBrightness"])
    }

    function test_videoResetLeavesEnhancementAlone() {
        engine.aspectMode = "1:1"
        engine.videoEnhancementEnabled = true
        engine.videoHue = 30
        showPage(1)
        // "1:1" is not offered: the chooser shows its first entry.
        compare(child("aspectChooser").currentIndex, 0)
        mouseClick(findChild(child("videoPage"), "resetButton"))
        compare(engine.callNames(), ["setAspectMode", "setVideoRotation", "setCropBlackBars",
                                     "setVideoBrightness", "setVideoSaturation", "setVideoContrast",
                                     "setVideoHue"])
        compare(engine.aspectMode, "default")
        compare(engine.videoHue, 0)
        verify(engine.videoEnhancementEnabled)
    }

    function test_subtitleRoles_data() {
        return [
            { tag: "secondary equal to primary", primary: 2, secondary: -1, chooser: "secondarySubtitleChooser", index: 1,
              refused: true, expectPrimary: 2, expectSecondary: -1 },
            { tag: "primary equal to secondary", primary: -1, secondary: 3, chooser: "primarySubtitleChooser", index: 2,
              refused: true, expectPrimary: -1, expectSecondary: 3 },
            { tag: "none in both roles", primary: 2, secondary: -1, chooser: "primarySubtitleChooser", index: 0,
              refused: false, expectPrimary: -1, expectSecondary: -1 },
            { tag: "another track", primary: 2, secondary: -1, chooser: "secondarySubtitleChooser", index: 2,
              refused: false, expectPrimary: 2, expectSecondary: 3 }
        ]
    }

    function test_subtitleRoles(data) {
        engine.subtitleTrackId = data.primary
        engine.secondarySubtitleTrackId = data.secondary
        showPage(3)
        var chooser = child(data.chooser)
        chooser.activated(data.index)
        compare(engine.subtitleTrackId, data.expectPrimary)
        compare(engine.secondarySubtitleTrackId, data.expectSecondary)
        compare(statusKeys, data.refused ? ["ui.text.subtitle.same_track_not_allowed"] : [])
        // The chooser shows the role's real track again, also after a refusal.
        var shownId = chooser.options[chooser.currentIndex].id
        compare(shownId, data.chooser === "primarySubtitleChooser" ? data.expectPrimary : data.expectSecondary)
    }

    function test_cutOffSubtitleTitleGetsToolTip_data() {
        return [
            { tag: "cut off", title: "A subtitle track whose title is far too long for the chooser.srt", shown: true },
            { tag: "fits", title: "en.srt", shown: false }
        ]
    }

    function test_cutOffSubtitleTitleGetsToolTip(data) {
        dialog.subtitleTrackOptions = [{ id: -1, title: "none" }, { id: 4, title: data.title }]
        engine.subtitleTrackId = 4
        showPage(3)
        var chooser = child("primarySubtitleChooser")
        compare(chooser.displayText, data.title)
        var tip = child("primarySubtitleChooserToolTip")
        mouseMove(chooser, chooser.width / 3, chooser.height / 2)
        if (data.shown) {
            tryCompare(tip, "visible", true)
            compare(tip.text, data.title)
        } else {
            wait(tip.delay + 100)
            verify(!tip.visible)
        }
    }

    // A row whose mpv property this libmpv lacks is offered as unavailable, not as working.
    function test_rowOfMissingPropertyIsDisabled_data() {
        return [
            { tag: "missing", unsupported: ["secondary-sub-delay", "secondary-sub-pos"], enabled: false },
            { tag: "present", unsupported: [], enabled: true }
        ]
    }

    function test_rowOfMissingPropertyIsDisabled(data) {
        engine.unsupportedProperties = data.unsupported
        // The dialog asks once per engine: hand the engine over again, as the view does.
        dialog.playerEngine = null
        dialog.playerEngine = engine
        showPage(3)
        var row = child("secondarySubtitleDelayRow")
        compare(row.enabled, data.enabled)
        row.text = "0"
        mouseClick(findChild(row, "delayPlus"))
        compare(engine.callsNamed("setSecondarySubtitleDelayMs").length, data.enabled ? 1 : 0)
        var tip = child("secondarySubtitleDelayToolTip")
        mouseMove(row, row.width / 2, row.height / 2)
        if (data.enabled) {
            wait(tip.delay + 100)
            verify(!tip.visible)
        } else {
            tryCompare(tip, "visible", true)
            compare(tip.text, "ui.text.settings.unsupported_by_player")
        }
        // The primary subtitle's delay stays usable either way.
        verify(child("subtitleDelayRow").enabled)
    }

    function test_subtitleFileRequests() {
        showPage(3)
        var primarySpy = createTemporaryQmlObject("import QtTest 1.2; SignalSpy {}", testCase)
        primarySpy.target = dialog
        primarySpy.signalName = "primarySubtitleFileRequested"
        var secondarySpy = createTemporaryQmlObject("import QtTest 1.2; SignalSpy {}", testCase)
        secondarySpy.target = dialog
        secondarySpy.signalName = "secondarySubtitleFileRequested"
        mouseClick(child("secondarySubtitleFileButton"))
        compare(primarySpy.count, 0)
        compare(secondarySpy.count, 1)
        compare(engine.calls.length, 0)
    }

    function test_showWindowSyncsFieldsAndCentres() {
        dialog.visible = false
        engine.preferredPlaybackSpeed = 1.5
        engine.subtitleDelayMs = -250
        var owner = { x: 100, y: 50, width: 1081, height: 721 }
        dialog.ownerWindow = owner
        dialog.showWindow()
        compare(child("speedField").text, "1.50")
        compare(child("subtitleDelayRow").text, "-250")
        compare(dialog.x, 100 + Math.round((1081 - 620) / 2))
        compare(dialog.y, 50 + Math.round((721 - 420) / 2))
        verify(dialog.visible)
    }
}
