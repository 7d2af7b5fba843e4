// File URLs to local paths in QML: percent decoding, drive letters, hosts, and non-URL text.
import QtQuick 2.14
import QtTest 1.2
import "qrc:/qml/components/FileUrl.js" as FileUrl

TestCase {
    name: "FileUrl"

    property url qtUrl: "file:///tmp/a b.mp4"

    function test_toLocalPath_data() {
        return [
            { tag: "encoded blank", input: "file:///home/u/a%20b.mp4", expected: "/home/u/a b.mp4" },
            { tag: "drive letter", input: "file:///C:/x.mp4", expected: "C:/x.mp4" },
            { tag: "bare drive", input: "file:///d:", expected: "d:" },
            { tag: "colon later in a Linux path", input: "file:///home/C:/x.mp4", expected: "/home/C:/x.mp4" },
            { tag: "Chinese name", input: "file:///home/u/%E4%B8%AD%E6%96%87.mp4", expected: "/home/u/\u4e2d\u6587.mp4" },
            { tag: "decoded once", input: "file:///home/u/a%2520.mp4", expected: "/home/u/a%20.mp4" },
            { tag: "encoded hash kept", input: "file:///home/u/a%23b.mp4", expected: "/home/u/a#b.mp4" },
            { tag: "stray percent", input: "file:///home/u/100%%20x.mp4", expected: "/home/u/100% x.mp4" },
            { tag: "upper-case scheme", input: "FILE:///home/u/a.mp4", expected: "/home/u/a.mp4" },
            { tag: "one slash", input: "file:/home/u/a.mp4", expected: "/home/u/a.mp4" },
            { tag: "host part", input: "file://server/share/a%20b.mp4", expected: "//server/share/a b.mp4" },
            { tag: "plain Linux path", input: "/home/u/a%20b.mp4", expected: "/home/u/a%20b.mp4" },
            { tag: "plain Windows path", input: "C:\\x.mp4", expected: "C:\\x.mp4" },
            { tag: "web link", input: "https://example.com/a%20b.mp4", expected: "https://example.com/a%20b.mp4" },
            { tag: "empty", input: "", expected: "" },
            { tag: "undefined", input: undefined, expected: "" },
            { tag: "null", input: null, expected: "" }
        ]
    }

    function test_toLocalPath(data) {
        compare(FileUrl.toLocalPath(data.input), data.expected)
    }

    function test_qmlUrlValue() {
        compare(FileUrl.toLocalPath(qtUrl), "/tmp/a b.mp4")
    }
}
