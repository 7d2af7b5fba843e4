// Section heading of the playback settings dialog.
import QtQuick 2.14

Text {
    color: "#F0F0F0"
    font.pixelSize: 14
    font.bold: true
}
