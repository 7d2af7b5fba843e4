// Title bar at the top of every tool page: title, close button, and moving the window once
// the pointer has really moved.
import QtQuick 2.14
import QtQuick.Window 2.14
import "../../components"
import "../../shared"

Rectangle {
    id: root

    property string titleText: ""
    property int dragThreshold: 3
    property color iconColor: Theme.textStrong
    property color closeHoverColor: Theme.textPrimary
    // The window that is moved: the bar's own window unless someone names another.
    property var targetWindow: Window.window
    // A press has passed the threshold and the window is being moved (by the system or by hand).
    readonly property bool dragActive: dragArea.dragStarted
    readonly property bool manualMoveActive: dragArea.manualMove

    signal closeRequested()

    color: "transparent"

    Text {
        x: 16
        width: Math.max(0, closeButton.x - x - 8)
        anchors.verticalCenter: parent.verticalCenter
        text: root.titleText
        color: root.iconColor
        font.pixelSize: Theme.fontCardTitle
        font.bold: true
        elide: Text.ElideRight
    }

    MouseArea {
        id: dragArea
        objectName: "titleBarDragArea"

        property point pressPoint: Qt.point(0, 0)
        property bool dragStarted: false
        property bool manualMove: false
        property point startGlobal: Qt.point(0, 0)
        property point startWindow: Qt.point(0, 0)

        function beginMove(mouse) {
            dragStarted = true
            var window = root.targetWindow
            if (!window)
                return
            // A platform without a window manager answers false: then the window moves by hand.
            if (window.startSystemMove() === true)
                return
            var point = mapToGlobal(mouse.x, mouse.y)
            startGlobal = Qt.point(point.x, point.y)
            startWindow = Qt.point(window.x, window.y)
            manualMove = true
        }

        function endMove() {
            dragStarted = false
            manualMove = false
        }

        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.right: closeButton.left
        acceptedButtons: Qt.LeftButton

        onPressed: {
            pressPoint = Qt.point(mouse.x, mouse.y)
            dragStarted = false
            manualMove = false
        }
        onPositionChanged: {
            if (!pressed)
                return
            if (!dragStarted) {
                if (Math.abs(mouse.x - pressPoint.x) < root.dragThreshold
                        && Math.abs(mouse.y - pressPoint.y) < root.dragThreshold)
                    return
                beginMove(mouse)
                return
            }
            if (!manualMove || !root.targetWindow)
                return
            var point = mapToGlobal(mouse.x, mouse.y)
            root.targetWindow.x = startWindow.x + (point.x - startGlobal.x)
            root.targetWindow.y = startWindow.y + (point.y - startGlobal.y)
        }
        onReleased: endMove()
        onCanceled: endMove()
    }

    Rectangle {
        id: closeButton
        objectName: "toolTitleBarClose"
        anchors.right: parent.right
        width: 48
        height: parent.height
        color: closeArea.pressed ? Theme.dangerPressed : closeArea.containsMouse ? Theme.danger : "transparent"

        ThemedIcon {
            anchors.centerIn: parent
            iconSize: 14
            source: "qrc:/assets/icons/window_close.svg"
            color: closeArea.containsMouse ? root.closeHoverColor : root.iconColor
        }

        MouseArea {
            id: closeArea
            anchors.fill: parent
            hoverEnabled: true
            onClicked: root.closeRequested()
        }
    }
}
