// A caption 110 pixels wide followed by the row's controls.
import QtQuick 2.14
import "../../../shared"

Row {
    id: root

    property string label: ""

    spacing: 8

    Text {
        width: 110
        height: 32
        text: root.label
        color: Theme.textLabel
        font.pixelSize: Theme.fontBody
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
}
