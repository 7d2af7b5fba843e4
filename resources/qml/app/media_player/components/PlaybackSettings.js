// Value rules of the playback settings dialog: speed and delay fields and chooser lookup.
.pragma library

var speedMinimum = 0.5
var speedMaximum = 2.0
var delayMinimumMs = -10000
var delayMaximumMs = 10000

// Only plain decimal text counts as a number: Number() alone would take "" as 0 and "0x1f"
// as 31, which the user did not type as a speed or a delay.
function parseDecimal(text) {
    if (text === undefined || text === null)
        return NaN
    var trimmed = String(text).trim()
    if (!/^[+-]?(\d+\.?\d*|\.\d+)$/.test(trimmed))
        return NaN
    return Number(trimmed)
}

function clamp(value, low, high) {
    return Math.min(high, Math.max(low, value))
}

function roundToHundredth(value) {
    return Math.round(value * 100) / 100
}

function formatSpeed(value) {
    var number = Number(value)
    return isFinite(number) ? number.toFixed(2) : ""
}

// The speed a field text stands for, or NaN when the text is not a number.
function speedFromText(text) {
    var value = parseDecimal(text)
    if (isNaN(value))
        return NaN
    return clamp(roundToHundredth(value), speedMinimum, speedMaximum)
}

function clampDelay(value) {
    return clamp(Math.round(value), delayMinimumMs, delayMaximumMs)
}

// A delay field's text as milliseconds: anything that is not a number counts as 0.
function delayFromText(text) {
    var value = parseDecimal(text)
    return clampDelay(isNaN(value) ? 0 : value)
}

function nudgedDelay(text, step) {
    var value = parseDecimal(text)
    return clampDelay((isNaN(value) ? 0 : value) + step)
}

// Index of the option whose value equals the given one (options: [{value: ...}]), else 0;
// -1 only for an empty list.
function indexOfValue(options, value, member) {
    if (!options || options.length === undefined || options.length === 0)
        return -1
    var key = member === undefined ? "value" : member
    for (var i = 0; i < options.length; ++i) {
        var entry = options[i]
        if (entry !== null && entry !== undefined && entry[key] === value)
            return i
    }
    return 0
}
