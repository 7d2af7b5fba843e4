// Section heading of the playback settings dialog.
import QtQuick 2.14
import "../../../shared"

Text {
    color: Theme.textHeading
    font.pixelSize: Theme.fontLarge
    font.bold: true
}
