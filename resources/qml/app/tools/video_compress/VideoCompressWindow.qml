// Placeholder of the video-compress tool's page until the tool itself is built.
import QtQuick 2.14
import ".."
import "../../../shared"

ToolPlaceholderPage {
    titleKey: "tool.video_compress.title"
    iconSource: "qrc:/assets/icons/tool_video_compress.svg"
    toolViewModel: Guard.object("videoCompressViewModel")
}
