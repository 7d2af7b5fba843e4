// One vertically scrollable page of the playback settings dialog, ending in its reset button.
import QtQuick 2.14
import QtQuick.Controls 2.14

Flickable {
    id: page

    default property alias pageContent: column.data
    property string resetText: ""
    readonly property real pageWidth: width - 2 * 24

    signal resetRequested()

    anchors.fill: parent
    clip: true
    contentWidth: width
    contentHeight: resetButton.y + resetButton.height + 20
    boundsBehavior: Flickable.StopAtBounds
    ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

    Column {
        id: column
        x: 24
        y: 20
        width: page.pageWidth
        spacing: 16
    }

    // Below the column rather than in it: the pages' own rows fill the column after this
    // document's children exist, so the button would otherwise come first.
    SettingsTextButton {
        id: resetButton
        objectName: "resetButton"
        x: column.x
        y: column.y + column.height + 20
        text: page.resetText
        onClicked: page.resetRequested()
    }
}
