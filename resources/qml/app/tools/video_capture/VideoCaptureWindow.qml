// Placeholder of the video-capture tool's page until the tool itself is built.
import QtQuick 2.14
import ".."

ToolPlaceholderPage {
    titleKey: "tool.video_capture.title"
    iconSource: "qrc:/assets/icons/tool_video_capture.svg"
    toolViewModel: typeof videoCaptureViewModel !== "undefined" ? videoCaptureViewModel : null
}
