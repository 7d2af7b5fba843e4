// Local paths from file URLs, with the same rules as QUrl::toLocalFile on the C++ side.
.pragma library

function decodePercent(text) {
    try {
        return decodeURIComponent(text)
    } catch (e) {
        // A stray "%" (or a broken UTF-8 sequence) stays as it is; valid runs are still decoded.
        return text.replace(/(%[0-9A-Fa-f]{2})+/g, function (run) {
            try {
                return decodeURIComponent(run)
            } catch (e2) {
                return run
            }
        })
    }
}

// "file:///home/u/a%20b.mp4" -> "/home/u/a b.mp4", "file:///C:/x.mp4" -> "C:/x.mp4",
// "file://server/share/x" -> "//server/share/x"; any text that is not a file URL is returned
// unchanged. Never cut eight characters off "file:///": on Linux that makes an absolute path
// relative.
function toLocalPath(url) {
    if (url === undefined || url === null)
        return ""
    var text = String(url)
    if (!/^file:/i.test(text))
        return text

    var rest = text.substring(5)
    var end = rest.search(/[?#]/)
    if (end >= 0)
        rest = rest.substring(0, end)

    var host = ""
    var path = rest
    if (rest.substring(0, 2) === "//") {
        var authority = rest.substring(2)
        var slash = authority.indexOf("/")
        host = slash < 0 ? authority : authority.substring(0, slash)
        path = slash < 0 ? "" : authority.substring(slash)
    }
    path = decodePercent(path)
    if (/^\/[A-Za-z]:(\/|$)/.test(path))
        path = path.substring(1)
    if (host.length > 0)
        return "//" + decodePercent(host) + path
    return path
}

// The "file:" URL of a local path, each path segment percent-encoded ("#", "?", "%" and blanks
// included): "/home/u/a b" -> "file:///home/u/a%20b", "C:\\x" -> "file:///C%3A/x". Empty stays empty.
function fromLocalPath(path) {
    if (path === undefined || path === null)
        return ""
    var text = String(path).replace(/\\/g, "/")
    if (text.length === 0)
        return ""
    var encoded = text.split("/").map(function (segment) { return encodeURIComponent(segment) }).join("/")
    return encoded.charAt(0) === "/" ? "file://" + encoded : "file:///" + encoded
}
