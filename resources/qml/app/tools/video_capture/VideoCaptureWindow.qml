// Placeholder of the video-capture tool's page until the tool itself is built.
import QtQuick 2.14
import ".."
import "../../../shared"

ToolPlaceholderPage {
    titleKey: "tool.video_capture.title"
    iconSource: "qrc:/assets/icons/tool_video_capture.svg"
    toolViewModel: Guard.object("videoCaptureViewModel")
}
