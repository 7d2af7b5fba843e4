// The table of toolbox tools: id, title key, icon, entry document and window sizes.
.pragma library

var toolConfigs = [
    {
        toolId: "format-convert",
        titleKey: "tool.format_convert.title",
        icon: "qrc:/assets/icons/tool_format_convert.svg",
        entryQml: "qrc:/qml/app/tools/format_convert/FormatConvertWindow.qml",
        windowWidth: 1020, windowHeight: 720, minimumWidth: 980, minimumHeight: 600
    },
    {
        toolId: "video-compress",
        titleKey: "tool.video_compress.title",
        icon: "qrc:/assets/icons/tool_video_compress.svg",
        entryQml: "qrc:/qml/app/tools/video_compress/VideoCompressWindow.qml",
        windowWidth: 1020, windowHeight: 720, minimumWidth: 980, minimumHeight: 600
    },
    {
        toolId: "video-capture",
        titleKey: "tool.video_capture.title",
        icon: "qrc:/assets/icons/tool_video_capture.svg",
        entryQml: "qrc:/qml/app/tools/video_capture/VideoCaptureWindow.qml",
        windowWidth: 800, windowHeight: 700, minimumWidth: 800, minimumHeight: 600
    },
    {
        toolId: "video-to-text",
        titleKey: "tool.video_to_text.title",
        icon: "qrc:/assets/icons/tool_video_to_text.svg",
        entryQml: "qrc:/qml/app/tools/video_to_text/VideoToTextWindow.qml",
        windowWidth: 1020, windowHeight: 720, minimumWidth: 980, minimumHeight: 600
    },
    {
        toolId: "video-to-image",
        titleKey: "tool.video_to_image.title",
        icon: "qrc:/assets/icons/tool_video_to_image.svg",
        entryQml: "qrc:/qml/app/tools/video_to_image/VideoToImageWindow.qml",
        windowWidth: 1020, windowHeight: 720, minimumWidth: 980, minimumHeight: 600
    }
]

function toolConfig(toolId) {
    var key = String(toolId)
    for (var i = 0; i < toolConfigs.length; ++i) {
        if (toolConfigs[i].toolId === key)
            return toolConfigs[i]
    }
    return null
}

function hasTool(toolId) {
    return toolConfig(toolId) !== null
}

function availableTools() {
    var tools = []
    for (var i = 0; i < toolConfigs.length; ++i) {
        var entry = toolConfigs[i]
        tools.push({
            toolId: entry.toolId,
            titleKey: entry.titleKey,
            icon: entry.icon,
            enabled: typeof entry.entryQml === "string" && entry.entryQml.length > 0
        })
    }
    return tools
}
