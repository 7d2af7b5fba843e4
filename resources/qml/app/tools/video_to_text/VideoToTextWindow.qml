// Placeholder of the video-to-text tool's page until the tool itself is built.
import QtQuick 2.14
import ".."
import "../../../shared"

ToolPlaceholderPage {
    titleKey: "tool.video_to_text.title"
    iconSource: "qrc:/assets/icons/tool_video_to_text.svg"
    toolViewModel: Guard.object("videoToTextViewModel")
}
