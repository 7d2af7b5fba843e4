// Placeholder of the format-convert tool's page until the tool itself is built.
import QtQuick 2.14
import ".."
import "../../../shared"

ToolPlaceholderPage {
    titleKey: "tool.format_convert.title"
    iconSource: "qrc:/assets/icons/tool_format_convert.svg"
    toolViewModel: Guard.object("formatConvertViewModel")
}
