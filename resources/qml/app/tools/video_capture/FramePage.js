// Text rules of the capture and to-image pages: file URLs, typed times, frame counts.
.pragma library
.import "../../../components/FileUrl.js" as FileUrl

function toLocalPath(value) {
    if (value === undefined || value === null)
        return ""
    return FileUrl.toLocalPath(String(value).trim())
}

// A local path as a file URL; each path segment is encoded, so "#", "?" and "%" stay literal.
function toFileUrl(path) {
    var text = path === undefined || path === null ? "" : String(path)
    if (text.length === 0)
        return ""
    if (/^file:/i.test(text))
        return text
    text = text.replace(/\\/g, "/")
    var encoded = text.split("/").map(function (part) {
        return /^[A-Za-z]:$/.test(part) ? part : encodeURIComponent(part)
    }).join("/")
    return encoded.charAt(0) === "/" ? "file://" + encoded : "file:///" + encoded
}

// "90", "1:30" and "0:01:30.5" give 90, 90 and 90.5 seconds; anything unreadable counts 0.
function parseTimeText(text) {
    var value = text === undefined || text === null ? "" : String(text).trim()
    if (value.length === 0)
        return 0
    var number = function (part) {
        var n = parseFloat(String(part).trim())
        return isFinite(n) ? n : 0
    }
    if (value.indexOf(":") < 0)
        return Math.max(0, number(value))
    var parts = value.split(":")
    var total
    if (parts.length === 2) {
        total = number(parts[0]) * 60 + number(parts[1])
    } else {
        var n = parts.length
        total = number(parts[n - 3]) * 3600 + number(parts[n - 2]) * 60 + number(parts[n - 1])
    }
    return Math.max(0, total)
}

// Frames per step: 1..10000, 1 for anything that is not a positive integer.
function parseFrameStepCount(text) {
    var n = parseInt(String(text), 10)
    if (!isFinite(n) || n <= 0)
        return 1
    return Math.min(n, 10000)
}

function estimateFrameRate(mediaInfo) {
    var info = mediaInfo || {}
    var fps = Number(info.fps)
    if (fps > 0)
        return fps
    var videoFps = Number(info.videoFps)
    if (videoFps > 0)
        return videoFps
    return 25
}
