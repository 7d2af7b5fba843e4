// The main window's view of its page, for the window tests: the page interface that main.qml
// hands over to and listens to, and a record of the files it was asked to open.
import QtQuick 2.14
import "qrc:/qml/components/FileUrl.js" as FileUrl

Item {
    id: page

    property string windowTitle: ""
    property string productTitle: ""
    property string titleSlogan: ""
    property bool windowIsMaximized: false
    property string startupMediaFileUrl: ""
    property bool playerFullScreen: false
    property var openedFileUrls: []
    readonly property string lastOpenedPath: openedFileUrls.length > 0
                                             ? FileUrl.toLocalPath(openedFileUrls[openedFileUrls.length - 1])
                                             : FileUrl.toLocalPath(startupMediaFileUrl)

    signal toolRequested(string toolId, string startupSourcePath)
    signal minimizeRequested()
    signal toggleMaximizeRequested()
    signal closeRequested()

    function openExternalFilesAndPlay(urls) {
        var list = openedFileUrls.slice()
        for (var i = 0; i < urls.length; ++i)
            list.push(String(urls[i]))
        openedFileUrls = list
    }

    function exitPlayerFullScreen() {
        playerFullScreen = false
    }
}
