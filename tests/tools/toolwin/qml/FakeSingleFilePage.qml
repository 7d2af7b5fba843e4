// Tool page like capture and video to image: no addFiles, one file through the consumer.
import QtQuick 2.14

Item {
    property string startupSourcePath: ""
    readonly property var viewModel: null
    property var consumed: []

    signal closeRequested()

    function consumeStartupSourcePath(path) { consumed = consumed.concat([path]) }
}
