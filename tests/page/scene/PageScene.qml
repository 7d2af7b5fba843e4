// A main window reduced to what the player page needs, for the in-process end-to-end test.
import QtQuick 2.14
import QtQuick.Window 2.14

Window {
    id: window
    width: 1280
    height: 720
    visible: true
    color: "#050505"

    readonly property var page: pageLoader.item

    Loader {
        id: pageLoader
        anchors.fill: parent
        focus: true
        source: "qrc:/qml/app/media_player/MediaPlayerPage.qml"
    }
}
