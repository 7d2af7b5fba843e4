// Pure helpers of the player page and its controls: formatting, URL sorting, placement and
// the small rules the documents share, kept here so they can be tested without a scene.
.pragma library
.import "../../components/FileUrl.js" as FileUrl

var playbackModes = [
    { mode: 0, textKey: "ui.text.playback.single_play", icon: "qrc:/assets/icons/playlist_mode_single.svg" },
    { mode: 1, textKey: "ui.text.playback.sequential", icon: "qrc:/assets/icons/playlist_mode_sequential.svg" },
    { mode: 2, textKey: "ui.text.playback.list_loop", icon: "qrc:/assets/icons/playlist_mode_list_loop.svg" },
    { mode: 3, textKey: "ui.text.playback.single_loop", icon: "qrc:/assets/icons/playlist_mode_single_loop.svg" },
    { mode: 4, textKey: "ui.text.playback.shuffle_loop", icon: "qrc:/assets/icons/playlist_mode_shuffle_loop.svg" }
]

var playbackSpeedOptions = [2.0, 1.75, 1.5, 1.25, 1.0, 0.75, 0.5]

function pad2(value) {
    var text = String(value)
    return text.length < 2 ? "0" + text : text
}

// Whole seconds as hh:mm:ss; hours keep growing past 99 rather than wrapping.
function formatTime(seconds) {
    var total = Number(seconds)
    if (!isFinite(total) || total < 0)
        total = 0
    total = Math.floor(total)
    var hours = Math.floor(total / 3600)
    var minutes = Math.floor((total % 3600) / 60)
    var secs = total % 60
    return pad2(hours) + ":" + pad2(minutes) + ":" + pad2(secs)
}

function speedText(value) {
    var speed = Number(value)
    if (value === undefined || value === null || !isFinite(speed))
        speed = 1
    var text = (Math.round(speed * 100) / 100).toFixed(2)
    text = text.replace(/0+$/, "").replace(/\.$/, "")
    return text + "x"
}

function speedMatches(option, speed) {
    return Math.abs(Number(option) - Number(speed)) <= 0.001
}

function playbackModeInfo(mode) {
    for (var i = 0; i < playbackModes.length; ++i) {
        if (playbackModes[i].mode === mode)
            return playbackModes[i]
    }
    return playbackModes[0]
}

function isFileUrlText(url) {
    return url !== undefined && url !== null && String(url).indexOf("file:/") === 0
}

function fileUrlsOnly(urls) {
    var result = []
    if (!urls)
        return result
    for (var i = 0; i < urls.length; ++i) {
        if (isFileUrlText(urls[i]))
            result.push(String(urls[i]))
    }
    return result
}

// Splits by the play list's own reasons: an empty reason takes the file, any other text
// refuses it with that reason; no answer at all (no play list) leaves the file out of both.
function partitionByRefusal(urls, reasonOf) {
    var result = { accepted: [], refused: [] }
    if (!urls || typeof reasonOf !== "function")
        return result
    for (var i = 0; i < urls.length; ++i) {
        var url = String(urls[i])
        var reason = reasonOf(url)
        if (reason === "")
            result.accepted.push(url)
        else if (typeof reason === "string")
            result.refused.push({ url: url, reason: reason })
    }
    return result
}

// The catalog text of each refusal reason; a reason without one reads as an unsupported file.
var refusalReasonKeys = {
    missing: "ui.text.open.reason.missing",
    encoding: "ui.text.open.reason.encoding",
    folder: "ui.text.open.reason.folder",
    subtitle: "ui.text.open.reason.subtitle",
    unsupported: "ui.text.open.reason.unsupported",
    full: "ui.text.open.reason.full"
}

function refusalReasonKey(reason) {
    return refusalReasonKeys.hasOwnProperty(reason) ? refusalReasonKeys[reason] : refusalReasonKeys.unsupported
}

// The last part of a path or file URL; a folder's trailing slash does not hide its name.
function fileNameOf(pathOrUrl) {
    return localPathOf(pathOrUrl).replace(/[\\/]+$/, "").replace(/^.*[\\/]/, "")
}

function anySupportedFileUrl(urls, isSupported) {
    if (!urls || typeof isSupported !== "function")
        return false
    for (var i = 0; i < urls.length; ++i) {
        if (isFileUrlText(urls[i]) && isSupported(String(urls[i])))
            return true
    }
    return false
}

// Tags shown after a row's title: the list's own tag, then only the 4K and 8K quality tags.
function rowTags(tag, qualityTag) {
    var tags = []
    var own = tag === undefined || tag === null ? "" : String(tag).trim().toUpperCase()
    if (own.length > 0)
        tags.push(own)
    var quality = qualityTag === undefined || qualityTag === null ? "" : String(qualityTag).trim().toUpperCase()
    if (quality === "4K" || quality === "8K")
        tags.push(quality)
    return tags
}

// What a row shows in place of its duration: loading text, the damaged marker or the time.
function rowDurationState(preview, loadingText, damagedText) {
    var p = preview || {}
    if (p.parseFailed === true)
        return { text: damagedText, damaged: true }
    if (p.loading === true)
        return { text: loadingText, damaged: false }
    var duration = p.durationText === undefined || p.durationText === null ? "" : String(p.durationText)
    return { text: duration.length > 0 ? duration : "00:00:00", damaged: false }
}

function progressValue(position, duration, endSnapThreshold) {
    var maximum = Math.max(Number(duration) || 0, 0.001)
    var value = Number(position) || 0
    var dur = Number(duration) || 0
    if (dur > 0 && dur - value <= (Number(endSnapThreshold) || 0))
        value = dur
    return Math.min(Math.max(value, 0), maximum)
}

function exceedsDragThreshold(dx, dy, threshold) {
    return Math.abs(dx) >= threshold || Math.abs(dy) >= threshold
}

// Left edge of a box centred on centerX, kept margin inside [0, containerWidth].
function clampCentered(centerX, boxWidth, containerWidth, margin) {
    var left = centerX - boxWidth / 2
    var maximum = containerWidth - boxWidth - margin
    return Math.max(margin, Math.min(left, maximum))
}

function hoverCloseLimit(graceMs, pollMs) {
    return Math.max(1, Math.ceil(graceMs / Math.max(1, pollMs)))
}

function accountIdOf(uid, accountId) {
    var u = uid === undefined || uid === null ? "" : String(uid)
    if (u.length > 0)
        return u
    return accountId === undefined || accountId === null ? "" : String(accountId)
}

// texts: { login, localAccount, username }, each a text or a function giving it, so that only
// the text shown is looked up.
function textOf(value) {
    return typeof value === "function" ? value() : value
}

function displayName(loggedIn, virtualAccount, nickname, accountId, texts) {
    if (!loggedIn)
        return textOf(texts.login)
    if (virtualAccount)
        return textOf(texts.localAccount)
    var nick = nickname === undefined || nickname === null ? "" : String(nickname)
    if (nick.length > 0)
        return nick
    var id = accountId === undefined || accountId === null ? "" : String(accountId)
    if (id.length > 0)
        return id
    return textOf(texts.username)
}

function currentSourcePath(hasMedia, playlistSourcePath, playerFileUrl) {
    if (!hasMedia)
        return ""
    var listed = playlistSourcePath === undefined || playlistSourcePath === null ? "" : String(playlistSourcePath)
    if (listed.length > 0)
        return listed
    return isFileUrlText(playerFileUrl) ? String(playerFileUrl) : ""
}

function trackOptions(firstId, firstTitle, tracks) {
    var options = [{ id: firstId, title: firstTitle }]
    if (!tracks)
        return options
    for (var i = 0; i < tracks.length; ++i) {
        var track = tracks[i]
        if (!track)
            continue
        options.push({ id: Number(track.id), title: track.title === undefined ? "" : String(track.title) })
    }
    return options
}

// A subtitle track cannot be primary and secondary at once; "none" and "auto" are always allowed.
function subtitleChoiceAllowed(trackId, otherRoleTrackId) {
    var id = Number(trackId)
    return id <= 0 || id !== Number(otherRoleTrackId)
}

// Image source for a local file path; URLs (file:, qrc:, http:) pass through.
function imageSourceFromPath(path) {
    var text = path === undefined || path === null ? "" : String(path).trim()
    if (text.length === 0)
        return ""
    if (/^[A-Za-z][A-Za-z0-9+.-]+:/.test(text) && !/^[A-Za-z]:[\/\\]/.test(text))
        return text
    text = text.replace(/\\/g, "/")
    var encoded = encodeURI(text).replace(/#/g, "%23").replace(/\?/g, "%3F")
    return text.charAt(0) === "/" ? "file://" + encoded : "file:///" + encoded
}

// File URLs go through the one shared helper; plain paths are compared as they are, since a
// backslash is an ordinary file-name character on Linux.
function localPathOf(pathOrUrl) {
    var text = pathOrUrl === undefined || pathOrUrl === null ? "" : String(pathOrUrl)
    return /^file:/i.test(text) ? FileUrl.toLocalPath(text) : text
}

function samePath(a, b) {
    var left = localPathOf(a)
    var right = localPathOf(b)
    return left.length > 0 && left === right
}
