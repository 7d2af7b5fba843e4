// Tables for the page's pure helpers: time and speed texts, tags, durations, placement, names.
import QtQuick 2.14
import QtTest 1.14
import "qrc:/qml/app/media_player/PlayerLogic.js" as Logic

TestCase {
    name: "PlayerLogic"

    function test_formatTime_data() {
        return [
            { tag: "zero", seconds: 0, text: "00:00:00" },
            { tag: "fraction floors", seconds: 3725.9, text: "01:02:05" },
            { tag: "negative as zero", seconds: -5, text: "00:00:00" },
            { tag: "not a number", seconds: NaN, text: "00:00:00" },
            { tag: "hours past 99", seconds: 100 * 3600 + 61, text: "100:01:01" },
            { tag: "just under a minute", seconds: 59.999, text: "00:00:59" }
        ]
    }
    function test_formatTime(data) {
        compare(Logic.formatTime(data.seconds), data.text)
    }

    function test_speedText_data() {
        return [
            { tag: "2", speed: 2, text: "2x" },
            { tag: "1.75", speed: 1.75, text: "1.75x" },
            { tag: "1.25", speed: 1.25, text: "1.25x" },
            { tag: "1.0", speed: 1.0, text: "1x" },
            { tag: "0.5", speed: 0.5, text: "0.5x" },
            { tag: "1.3 set elsewhere", speed: 1.3, text: "1.3x" },
            { tag: "rounded to hundredths", speed: 1.234, text: "1.23x" },
            { tag: "missing counts as 1", speed: undefined, text: "1x" }
        ]
    }
    function test_speedText(data) {
        compare(Logic.speedText(data.speed), data.text)
    }

    function test_speedHighlight_data() {
        return [
            { tag: "1.75 highlights its row", speed: 1.75, rows: [1] },
            { tag: "1.3 highlights none", speed: 1.3, rows: [] },
            { tag: "within a thousandth", speed: 1.0004, rows: [4] }
        ]
    }
    function test_speedHighlight(data) {
        var rows = []
        for (var i = 0; i < Logic.playbackSpeedOptions.length; ++i) {
            if (Logic.speedMatches(Logic.playbackSpeedOptions[i], data.speed))
                rows.push(i)
        }
        compare(rows, data.rows)
    }

    function test_rowTags_data() {
        return [
            { tag: "video 4K", own: "video", quality: "4K", tags: ["VIDEO", "4K"] },
            { tag: "video 8k lower case", own: "Video", quality: "8k", tags: ["VIDEO", "8K"] },
            { tag: "audio", own: "audio", quality: "", tags: ["AUDIO"] },
            { tag: "other quality hidden", own: "video", quality: "1080P", tags: ["VIDEO"] },
            { tag: "no own tag", own: "", quality: "4K", tags: ["4K"] },
            { tag: "nothing", own: undefined, quality: undefined, tags: [] }
        ]
    }
    function test_rowTags(data) {
        compare(Logic.rowTags(data.own, data.quality), data.tags)
    }

    function test_rowDuration_data() {
        return [
            { tag: "loading", preview: { loading: true, durationText: "00:01:00" }, text: "L", damaged: false },
            { tag: "ready", preview: { loading: false, durationText: "00:01:00" }, text: "00:01:00", damaged: false },
            { tag: "empty text", preview: { loading: false, durationText: "" }, text: "00:00:00", damaged: false },
            { tag: "damaged wins", preview: { loading: false, parseFailed: true, durationText: "00:00:03" }, text: "D", damaged: true },
            { tag: "no preview", preview: undefined, text: "00:00:00", damaged: false }
        ]
    }
    function test_rowDuration(data) {
        var state = Logic.rowDurationState(data.preview, "L", "D")
        compare(state.text, data.text)
        compare(state.damaged, data.damaged)
    }

    function test_progressValue_data() {
        return [
            { tag: "follows position", position: 12, duration: 60, snap: 0, value: 12 },
            { tag: "snaps to end", position: 59.6, duration: 60, snap: 0.5, value: 60 },
            { tag: "clamped above", position: 70, duration: 60, snap: 0, value: 60 },
            { tag: "no duration", position: 5, duration: 0, snap: 0, value: 0.001 },
            { tag: "negative", position: -3, duration: 60, snap: 0, value: 0 }
        ]
    }
    function test_progressValue(data) {
        compare(Logic.progressValue(data.position, data.duration, data.snap), data.value)
    }

    function test_placement_data() {
        return [
            { tag: "centred", center: 500, width: 176, container: 1200, left: 412 },
            { tag: "kept off the right edge", center: 1180, width: 176, container: 1200, left: 1016 },
            { tag: "kept off the left edge", center: 20, width: 176, container: 1200, left: 8 }
        ]
    }
    function test_placement(data) {
        compare(Logic.clampCentered(data.center, data.width, data.container, 8), data.left)
    }

    function test_hoverCloseLimit() {
        compare(Logic.hoverCloseLimit(320, 100), 4)
        compare(Logic.hoverCloseLimit(0, 100), 1)
    }

    function test_urlSorting() {
        var supported = function (url) { return /\.mp4$/.test(url) }
        var reasons = { "file:///a.mp4": "", "file:///b.txt": "unsupported", "file:///c.mp4": "", "file:///d": "folder" }
        var parts = Logic.partitionByRefusal(["file:///a.mp4", "file:///b.txt", "file:///c.mp4", "file:///d"],
                                             function (url) { return reasons[url] })
        compare(parts.accepted, ["file:///a.mp4", "file:///c.mp4"])
        compare(parts.refused, [{ url: "file:///b.txt", reason: "unsupported" }, { url: "file:///d", reason: "folder" }])
        compare(Logic.fileUrlsOnly(["file:///a.mp4", "http://x/b.mp4", "/plain/c.mp4"]), ["file:///a.mp4"])
        verify(!Logic.anySupportedFileUrl(["http://x/a.mp4", "file:///b.txt"], supported))
        verify(Logic.anySupportedFileUrl(["file:///b.txt", "file:///a.mp4"], supported))
        // Without a play list to ask, nothing is taken and nothing is blamed.
        compare(Logic.partitionByRefusal(["file:///a.mp4"], null), { accepted: [], refused: [] })
        compare(Logic.partitionByRefusal(["file:///a.mp4"], function () { return undefined }).refused, [])
        compare(Logic.fileNameOf("file:///m/My%20Album/"), "My Album")
        compare(Logic.fileNameOf("/m/notes.txt"), "notes.txt")
        compare(Logic.refusalReasonKey("folder"), "ui.text.open.reason.folder")
        compare(Logic.refusalReasonKey("encoding"), "ui.text.open.reason.encoding")
        // A name the system's encoding cannot read keeps its bytes as escapes in the toast.
        compare(Logic.fileNameOf("file:///m/caf%E9.mp4"), "caf%E9.mp4")
        compare(Logic.refusalReasonKey("toString"), "ui.text.open.reason.unsupported")
    }

    function test_displayName_data() {
        return [
            { tag: "signed out", loggedIn: false, virtual: false, nick: "n", id: "i", name: "login" },
            { tag: "virtual", loggedIn: true, virtual: true, nick: "n", id: "i", name: "local" },
            { tag: "nickname", loggedIn: true, virtual: false, nick: "n", id: "i", name: "n" },
            { tag: "account id", loggedIn: true, virtual: false, nick: "", id: "i", name: "i" },
            { tag: "fallback", loggedIn: true, virtual: false, nick: "", id: "", name: "user" }
        ]
    }
    function test_displayName(data) {
        compare(Logic.displayName(data.loggedIn, data.virtual, data.nick, data.id,
                                  { login: "login", localAccount: "local", username: "user" }), data.name)
        // Texts given as functions are looked up only when shown.
        var asked = []
        var lazy = function (text) { return function () { asked.push(text); return text } }
        compare(Logic.displayName(data.loggedIn, data.virtual, data.nick, data.id,
                                  { login: lazy("login"), localAccount: lazy("local"), username: lazy("user") }), data.name)
        verify(asked.length <= 1)
    }

    function test_sourcePathAndIds() {
        compare(Logic.currentSourcePath(false, "/a.mp4", "file:///a.mp4"), "")
        compare(Logic.currentSourcePath(true, "/a.mp4", "file:///b.mp4"), "/a.mp4")
        compare(Logic.currentSourcePath(true, "", "file:///b.mp4"), "file:///b.mp4")
        compare(Logic.currentSourcePath(true, "", "http://x/b.mp4"), "")
        compare(Logic.accountIdOf("u1", "a1"), "u1")
        compare(Logic.accountIdOf("", "a1"), "a1")
        compare(Logic.accountIdOf(undefined, undefined), "")
    }

    function test_subtitleChoice_data() {
        return [
            { tag: "other role's track refused", id: 3, other: 3, allowed: false },
            { tag: "different track", id: 2, other: 3, allowed: true },
            { tag: "none always allowed", id: -1, other: -1, allowed: true },
            { tag: "zero always allowed", id: 0, other: 0, allowed: true }
        ]
    }
    function test_subtitleChoice(data) {
        compare(Logic.subtitleChoiceAllowed(data.id, data.other), data.allowed)
    }

    function test_paths() {
        compare(Logic.imageSourceFromPath("/tmp/a b#1.jpg"), "file:///tmp/a%20b%231.jpg")
        compare(Logic.imageSourceFromPath("C:/x/y.jpg"), "file:///C:/x/y.jpg")
        compare(Logic.imageSourceFromPath("qrc:/assets/logo.png"), "qrc:/assets/logo.png")
        compare(Logic.imageSourceFromPath(""), "")
        verify(Logic.samePath("file:///home/u/a%20b.mp4", "/home/u/a b.mp4"))
        verify(!Logic.samePath("", ""))
        compare(Logic.localPathOf("file:///C:/v.mp4"), "C:/v.mp4")
    }

    function test_dragThreshold_data() {
        return [
            { tag: "2 px ignored", dx: 2, dy: 2, moves: false },
            { tag: "4 px horizontal", dx: 4, dy: 0, moves: true },
            { tag: "4 px up", dx: 0, dy: -4, moves: true }
        ]
    }
    function test_dragThreshold(data) {
        compare(Logic.exceedsDragThreshold(data.dx, data.dy, 3), data.moves)
    }
}
