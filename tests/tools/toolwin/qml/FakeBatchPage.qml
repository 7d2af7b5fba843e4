// Tool page like the batch tools: its view model takes every dropped file.
import QtQuick 2.14

Item {
    property string startupSourcePath: ""
    readonly property var viewModel: model
    property var consumed: []

    signal closeRequested()

    function consumeStartupSourcePath(path) { consumed = consumed.concat([path]) }

    QtObject {
        id: model
        property var addedBatches: []
        function addFiles(paths) { addedBatches = addedBatches.concat([paths]) }
    }
}
