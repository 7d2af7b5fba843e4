// The start button of the batch tool pages: accent colour while a start is possible; shows the
// running text while a job runs and the idle text otherwise.
import QtQuick 2.14
import "../../shared"

Rectangle {
    id: root

    property bool canStart: false
    property string rawText: ""
    // Raw texts of the view model that mean "a job runs".
    property var runningTexts: []
    property string runningKey: ""
    property string idleKey: ""
    readonly property string shownText: runningTexts.indexOf(rawText) >= 0 ? Tr.t(runningKey) : Tr.t(idleKey)

    signal clicked()

    width: 150
    height: 38
    radius: Theme.radius
    color: canStart ? (area.pressed ? Theme.accentPressed : area.containsMouse ? Theme.accentHover : Theme.accent)
                    : Theme.buttonBackground

    Text {
        anchors.centerIn: parent
        text: root.shownText
        color: root.canStart ? Theme.textPrimary : Theme.textDisabled
        font.pixelSize: Theme.fontBody
    }
    MouseArea {
        id: area
        anchors.fill: parent
        enabled: root.canStart
        hoverEnabled: true
        onClicked: root.clicked()
    }
}
