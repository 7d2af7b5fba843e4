// Stand-in for the player engine: the engine's member names, the setters' clamping, and a
// record of every setter call.
import QtQuick 2.14

QtObject {
    id: engine

    property var calls: []
    // When set, every setter refuses (returns false) and stores nothing.
    property bool refuseAll: false
    // mpv properties this engine's libmpv lacks.
    property var unsupportedProperties: []

    property real playbackSpeed: 1.0
    property real preferredPlaybackSpeed: 1.0
    property bool alwaysApplyPreferredPlaybackSpeed: false
    property string aspectMode: "default"
    property int videoRotation: 0
    property bool cropBlackBars: false
    property int videoBrightness: 0
    property int videoSaturation: 0
    property int videoContrast: 0
    property int videoHue: 0
    property bool videoEnhancementEnabled: false
    property string audioChannelMode: "stereo"
    property int audioTrackId: 0
    property int audioDelayMs: 0
    property int subtitleTrackId: -1
    property int subtitleDelayMs: 0
    property int secondarySubtitleTrackId: -1
    property int secondarySubtitleDelayMs: 0

    function record(name, value) {
        var list = calls.slice()
        list.push({ name: name, value: value })
        calls = list
        return !refuseAll
    }

    function callsNamed(name) {
        return calls.filter(function (call) { return call.name === name })
    }

    function callNames() {
        return calls.map(function (call) { return call.name })
    }

    function supportsProperty(name) { return unsupportedProperties.indexOf(name) < 0 }

    function clamp(value, low, high) { return Math.min(high, Math.max(low, value)) }

    function setPlaybackSpeed(v) { if (!record("setPlaybackSpeed", v)) return false; playbackSpeed = clamp(v, 0.5, 2.0); return true }
    function setPreferredPlaybackSpeed(v) { if (!record("setPreferredPlaybackSpeed", v)) return false; preferredPlaybackSpeed = clamp(v, 0.5, 2.0); return true }
    function setAlwaysApplyPreferredPlaybackSpeed(v) { if (!record("setAlwaysApplyPreferredPlaybackSpeed", v)) return false; alwaysApplyPreferredPlaybackSpeed = v; return true }
    function setAspectMode(v) { if (!record("setAspectMode", v)) return false; aspectMode = v; return true }
    function setVideoRotation(v) { if (!record("setVideoRotation", v)) return false; videoRotation = v; return true }
    function setCropBlackBars(v) { if (!record("setCropBlackBars", v)) return false; cropBlackBars = v; return true }
    function setVideoBrightness(v) { if (!record("setVideoBrightness", v)) return false; videoBrightness = clamp(v, -100, 100); return true }
    function setVideoSaturation(v) { if (!record("setVideoSaturation", v)) return false; videoSaturation = clamp(v, -100, 100); return true }
    function setVideoContrast(v) { if (!record("setVideoContrast", v)) return false; videoContrast = clamp(v, -100, 100); return true }
    function setVideoHue(v) { if (!record("setVideoHue", v)) return false; videoHue = clamp(v, -100, 100); return true }
    function setVideoEnhancementEnabled(v) { if (!record("setVideoEnhancementEnabled", v)) return false; videoEnhancementEnabled = v; return true }
    function setAudioChannelMode(v) { if (!record("setAudioChannelMode", v)) return false; audioChannelMode = v; return true }
    function setAudioTrackId(v) { if (!record("setAudioTrackId", v)) return false; audioTrackId = v; return true }
    function setAudioDelayMs(v) { if (!record("setAudioDelayMs", v)) return false; audioDelayMs = clamp(v, -10000, 10000); return true }
    function setSubtitleTrackId(v) { if (!record("setSubtitleTrackId", v)) return false; subtitleTrackId = v; return true }
    function setSubtitleDelayMs(v) { if (!record("setSubtitleDelayMs", v)) return false; subtitleDelayMs = clamp(v, -10000, 10000); return true }
    function setSecondarySubtitleTrackId(v) { if (!record("setSecondarySubtitleTrackId", v)) return false; secondarySubtitleTrackId = v; return true }
    function setSecondarySubtitleDelayMs(v) { if (!record("setSecondarySubtitleDelayMs", v)) return false; secondarySubtitleDelayMs = clamp(v, -10000, 10000); return true }
}
