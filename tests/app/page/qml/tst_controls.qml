// Control bar and progress bar: speed texts and the highlighted row, pop-up toggling, the
// volume slider, seeking only on release and never without a duration.
import QtQuick 2.14
import QtTest 1.14
import "qrc:/qml/app/media_player/components"

Item {
    id: root
    width: 900
    height: 400

    Component {
        id: barComponent
        PlaybackControlBar { width: root.width; y: 300; active: true }
    }
    Component {
        id: progressComponent
        PlaybackProgressBar { width: 600; y: 100; active: true; showStartTime: true; showEndTime: true }
    }

    SignalSpy { id: spy }

    TestCase {
        name: "PlaybackControls"
        when: windowShown

        function init() {
            spy.clear()
            spy.target = null
        }

        function highlightedRows(popup) {
            var rows = []
            for (var i = 0; i < 7; ++i) {
                if (findChild(popup, "speedRow_" + i).selected)
                    rows.push(i)
            }
            return rows
        }

        function test_speedButtonAndRows_data() {
            return [
                { tag: "1.75", speed: 1.75, text: "1.75x", rows: [1] },
                { tag: "1.0", speed: 1.0, text: "1x", rows: [4] },
                { tag: "1.3 highlights none", speed: 1.3, text: "1.3x", rows: [] },
                { tag: "0.5", speed: 0.5, text: "0.5x", rows: [6] }
            ]
        }
        function test_speedButtonAndRows(data) {
            var bar = createTemporaryObject(barComponent, root, { playbackSpeed: data.speed })
            compare(findChild(bar, "speedButtonText").text, data.text)
            compare(highlightedRows(findChild(bar, "speedPopup")), data.rows)
        }

        function test_speedChoiceClosesPopup() {
            var bar = createTemporaryObject(barComponent, root)
            spy.signalName = "playbackSpeedRequested"
            spy.target = bar
            mouseClick(findChild(bar, "speedButton"))
            verify(bar.speedPopupVisible)
            mouseClick(findChild(bar, "speedRow_0"))
            compare(spy.count, 1)
            compare(spy.signalArguments[0][0], 2.0)
            verify(!bar.speedPopupVisible)
        }

        function test_popupsToggleAndExclude() {
            var bar = createTemporaryObject(barComponent, root)
            bar.togglePopup("volumePopupVisible")
            verify(bar.volumePopupVisible)
            bar.togglePopup("toolboxPopupVisible")
            verify(!bar.volumePopupVisible)
            verify(bar.toolboxPopupVisible)
            bar.togglePopup("toolboxPopupVisible")
            verify(!bar.toolboxPopupVisible)
            bar.togglePopup("speedPopupVisible")
            mouseClick(bar, 5, 5)
            verify(!bar.speedPopupVisible)
        }

        function test_toolboxListsRegistryAndSkipsDisabled() {
            var bar = createTemporaryObject(barComponent, root)
            compare(bar.toolboxEntries.length, 5)
            compare(bar.toolboxEntries[0].toolId, "format-convert")
            spy.signalName = "toolboxRequested"
            spy.target = bar
            bar.togglePopup("toolboxPopupVisible")
            mouseClick(findChild(bar, "toolboxRow_video-capture"))
            compare(spy.count, 1)
            compare(spy.signalArguments[0][0], "video-capture")
            verify(!bar.toolboxPopupVisible)
        }

        function test_volumeSliderFollowsAndReports() {
            var bar = createTemporaryObject(barComponent, root, { volume: 40 })
            var popup = findChild(bar, "volumePopup")
            bar.togglePopup("volumePopupVisible")
            compare(findChild(popup, "volumePercent").text, "40%")
            spy.signalName = "volumeRequested"
            spy.target = bar
            var slider = findChild(popup, "volumeSlider")
            mouseClick(slider, slider.width / 2, slider.height - slider.bottomPadding - 1)
            verify(spy.count >= 1)
            verify(spy.signalArguments[spy.count - 1][0] < 5)
            bar.volume = 0
            compare(findChild(popup, "volumePercent").text, "0%")
        }

        function test_muteIconAtLowVolume() {
            var bar = createTemporaryObject(barComponent, root, { volume: 0.01 })
            compare(String(findChild(bar, "volumeButton").iconSource), "qrc:/assets/icons/player_mute.svg")
            bar.volume = 0.5
            compare(String(findChild(bar, "volumeButton").iconSource), "qrc:/assets/icons/player_volume.svg")
        }

        function test_noSeekWithoutDuration() {
            var bar = createTemporaryObject(progressComponent, root, { duration: 0, position: 0 })
            spy.signalName = "seekRequested"
            spy.target = bar
            var slider = findChild(bar, "seekSlider")
            mousePress(slider, slider.width / 2, slider.height / 2)
            mouseRelease(slider, slider.width / 2, slider.height / 2)
            compare(spy.count, 0)
        }

        function test_seekOnlyOnRelease() {
            var bar = createTemporaryObject(progressComponent, root, { duration: 100, position: 10 })
            spy.signalName = "seekRequested"
            spy.target = bar
            var slider = findChild(bar, "seekSlider")
            mousePress(slider, 2, slider.height / 2)
            mouseMove(slider, slider.width / 2, slider.height / 2)
            compare(spy.count, 0)
            verify(findChild(bar, "startTimeLabel").text !== "00:00:10")
            mouseMove(slider, slider.width + 40, slider.height / 2)
            mouseRelease(slider, slider.width + 40, slider.height / 2)
            compare(spy.count, 1)
            compare(spy.signalArguments[0][0], 100)
        }

        function test_labels() {
            var bar = createTemporaryObject(progressComponent, root, { duration: 3725.9, position: 61.2 })
            compare(findChild(bar, "startTimeLabel").text, "00:01:01")
            compare(findChild(bar, "endTimeLabel").text, "01:02:05")
            bar.active = false
            compare(bar.height, 0)
            verify(!bar.visible)
        }

        function test_titleScrollsOnlyWhenTooLongAndShown() {
            var bar = createTemporaryObject(barComponent, root, { mediaTitle: "short.mp4" })
            var area = findChild(bar, "mediaTitleArea")
            verify(!area.overflowing)
            verify(!findChild(area, "titleScroll").running)
            bar.mediaTitle = "a very long media title that certainly does not fit into the little space left of the transport buttons.mp4"
            verify(area.overflowing)
            verify(findChild(area, "titleScroll").running)
            bar.active = false
            verify(!findChild(area, "titleScroll").running)
            bar.mediaTitle = ""
            compare(findChild(area, "mediaTitleText").text, i18n.t("player.media.untitled"))
        }
    }
}
