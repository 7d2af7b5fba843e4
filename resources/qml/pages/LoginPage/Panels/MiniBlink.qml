// The embedded web view filling its box; the views talk to this panel, not to the item.
import QtQuick 2.14
import com.myapp.miniblink 1.0

Item {
    id: panel

    property alias url: view.url
    readonly property alias loading: view.loading
    readonly property alias engineAvailable: view.engineAvailable
    readonly property alias engineError: view.engineError
    readonly property alias view: view

    signal loadStarted()
    signal loadFinished(bool success)
    signal firstFrameRendered()

    function goBack() { view.goBack() }
    function goForward() { view.goForward() }
    function reload() { view.reload() }

    MiniBlinkWrapper {
        id: view
        objectName: "miniBlinkView"
        anchors.fill: parent
        onLoadStarted: panel.loadStarted()
        onLoadFinished: panel.loadFinished(success)
        onFirstFrameRendered: panel.firstFrameRendered()
    }
}
