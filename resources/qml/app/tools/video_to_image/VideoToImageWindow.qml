// Placeholder of the video-to-image tool's page until the tool itself is built.
import QtQuick 2.14
import ".."
import "../../../shared"

ToolPlaceholderPage {
    titleKey: "tool.video_to_image.title"
    iconSource: "qrc:/assets/icons/tool_video_to_image.svg"
    toolViewModel: Guard.object("videoToImageViewModel")
}
