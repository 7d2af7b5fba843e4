// The video page of the playback settings dialog: aspect ratio, rotation, black-bar cropping and the four picture sliders.
import QtQuick 2.14
import QtQuick.Controls 2.14
import "../../../components"
import "../../../shared"

SettingsPage {
    id: videoPage
    objectName: "videoPage"

    // The dialog that owns the page: its engine, its options and its signals.
    property var dialog: null

    readonly property var aspectOptions: [
        { value: "default", text: Tr.t("ui.text.common.default") },
        { value: "16:9", text: "16:9" },
        { value: "4:3", text: "4:3" },
        { value: "fill", text: Tr.t("ui.text.video.fill_screen") }
    ]
    readonly property var rotationOptions: [
        { value: 0, text: Tr.t("ui.text.common.default") },
        { value: 90, text: "90\u00B0" },
        { value: 180, text: "180\u00B0" },
        { value: 270, text: "270\u00B0" }
    ]

    function reset() {
        if (!dialog.playerEngine)
            return
        var sliders = [brightnessSlider, saturationSlider, contrastSlider, hueSlider]
        for (var i = 0; i < sliders.length; ++i)
            sliders[i].cancelPending()
        Guard.call(dialog.playerEngine, "setAspectMode", ["default"])
        Guard.call(dialog.playerEngine, "setVideoRotation", [0])
        Guard.call(dialog.playerEngine, "setCropBlackBars", [false])
        Guard.call(dialog.playerEngine, "setVideoBrightness", [0])
        Guard.call(dialog.playerEngine, "setVideoSaturation", [0])
        Guard.call(dialog.playerEngine, "setVideoContrast", [0])
        Guard.call(dialog.playerEngine, "setVideoHue", [0])
        for (var j = 0; j < sliders.length; ++j)
            sliders[j].followEngine()
    }
    resetText: Tr.t("ui.text.common.reset_default")
    onResetRequested: reset()

    SettingsLabeledRow {
        label: Tr.t("ui.text.video.aspect_ratio")
        SettingsChooser {
            objectName: "aspectChooser"
            options: aspectOptions
            selectedValue: Guard.read(dialog.playerEngine, "aspectMode", "default")
            onPicked: Guard.call(dialog.playerEngine, "setAspectMode", [value])
        }
    }

    SettingsLabeledRow {
        label: Tr.t("ui.text.video.rotate")
        SettingsChooser {
            objectName: "rotationChooser"
            options: rotationOptions
            selectedValue: Guard.read(dialog.playerEngine, "videoRotation", 0)
            onPicked: Guard.call(dialog.playerEngine, "setVideoRotation", [value])
        }
    }

    ToolCheckBox {
        id: cropCheck
        objectName: "cropBlackBarsCheck"
        text: Tr.t("ui.text.video.crop_black_bars")
        checked: Guard.read(dialog.playerEngine, "cropBlackBars", false)
        onToggled: {
            if (dialog.playerEngine)
                Guard.call(dialog.playerEngine, "setCropBlackBars", [checked])
            cropCheck.checked = Qt.binding(function () {
                return Guard.read(dialog.playerEngine, "cropBlackBars", false)
            })
        }
    }

    Grid {
        columns: 2
        columnSpacing: 24
        rowSpacing: 8
        width: videoPage.pageWidth

        PictureAdjustSlider {
            id: brightnessSlider
            objectName: "brightnessSlider"
            width: (videoPage.pageWidth - 24) / 2
            label: Tr.t("ui.text.video.brightness")
            engineValue: Guard.read(dialog.playerEngine, "videoBrightness", 0)
            debounceMs: dialog.videoAdjustDebounceMs
            onCommitRequested: Guard.call(dialog.playerEngine, "setVideoBrightness", [value])
        }
        PictureAdjustSlider {
            id: saturationSlider
            objectName: "saturationSlider"
            width: (videoPage.pageWidth - 24) / 2
            label: Tr.t("ui.text.video.saturation")
            engineValue: Guard.read(dialog.playerEngine, "videoSaturation", 0)
            debounceMs: dialog.videoAdjustDebounceMs
            onCommitRequested: Guard.call(dialog.playerEngine, "setVideoSaturation", [value])
        }
        PictureAdjustSlider {
            id: contrastSlider
            objectName: "contrastSlider"
            width: (videoPage.pageWidth - 24) / 2
            label: Tr.t("ui.text.video.contrast")
            engineValue: Guard.read(dialog.playerEngine, "videoContrast", 0)
            debounceMs: dialog.videoAdjustDebounceMs
            onCommitRequested: Guard.call(dialog.playerEngine, "setVideoContrast", [value])
        }
        PictureAdjustSlider {
            id: hueSlider
            objectName: "hueSlider"
            width: (videoPage.pageWidth - 24) / 2
            label: Tr.t("ui.text.video.hue")
            engineValue: Guard.read(dialog.playerEngine, "videoHue", 0)
            debounceMs: dialog.videoAdjustDebounceMs
            onCommitRequested: Guard.call(dialog.playerEngine, "setVideoHue", [value])
        }
    }
}
