// The tool table: lookups by id, the menu list, and that every listed icon is in the bundle.
import QtQuick 2.14
import QtTest 1.2
import "qrc:/qml/app/tools/ToolRegistry.js" as ToolRegistry

TestCase {
    name: "ToolRegistry"

    Component {
        id: imageComponent
        Image {}
    }

    function test_lookup_data() {
        return [
            { tag: "video-to-text", id: "video-to-text", known: true },
            { tag: "format-convert", id: "format-convert", known: true },
            { tag: "video-capture", id: "video-capture", known: true },
            { tag: "unknown id", id: "video-upscale", known: false },
            { tag: "different case", id: "Format-Convert", known: false },
            { tag: "empty", id: "", known: false },
            { tag: "undefined", id: undefined, known: false },
            { tag: "null", id: null, known: false }
        ]
    }

    function test_lookup(data) {
        var entry = ToolRegistry.toolConfig(data.id)
        compare(ToolRegistry.hasTool(data.id), data.known)
        if (!data.known) {
            compare(entry, null)
            return
        }
        compare(entry.toolId, data.id)
    }

    function test_entryOfVideoToText() {
        var entry = ToolRegistry.toolConfig("video-to-text")
        compare(entry.titleKey, "tool.video_to_text.title")
        compare(entry.icon, "qrc:/assets/icons/tool_video_to_text.svg")
        compare(entry.entryQml, "qrc:/qml/app/tools/video_to_text/VideoToTextWindow.qml")
        compare([entry.windowWidth, entry.windowHeight, entry.minimumWidth, entry.minimumHeight], [1020, 720, 980, 600])
        var capture = ToolRegistry.toolConfig("video-capture")
        compare([capture.windowWidth, capture.windowHeight, capture.minimumWidth, capture.minimumHeight], [800, 700, 800, 600])
    }

    function test_availableTools() {
        var tools = ToolRegistry.availableTools()
        compare(tools.map(function (t) { return t.toolId }),
                ["format-convert", "video-compress", "video-capture", "video-to-text", "video-to-image"])
        for (var i = 0; i < tools.length; ++i) {
            compare(Object.keys(tools[i]).sort(), ["enabled", "icon", "titleKey", "toolId"])
            verify(tools[i].enabled)
        }
        // Callers get copies: changing one never changes the table.
        tools[0].toolId = "changed"
        compare(ToolRegistry.availableTools()[0].toolId, "format-convert")
    }

    function test_iconsAreInTheBundle() {
        var tools = ToolRegistry.availableTools()
        for (var i = 0; i < tools.length; ++i) {
            var image = createTemporaryObject(imageComponent, this, { source: tools[i].icon })
            tryCompare(image, "status", Image.Ready, 5000, tools[i].icon)
        }
    }
}
