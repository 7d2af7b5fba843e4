// Window sizes that fit the available area of the screen the window opens on.
.pragma library

// The wanted "width" or "height" within the screen's available size, in the pixels QML sizes
// windows in; an unknown size (none, or 0) fits anything.
function fitted(wanted, availableSize, extent) {
    var limit = availableSize ? Number(availableSize[extent]) : 0
    return limit > 0 ? Math.min(wanted, Math.floor(limit)) : wanted
}
