// Title bar of the frameless main window: icon and name, import and user buttons, settings and
// the window buttons; dragging moves the window, a double-click toggles maximise.
import QtQuick 2.14
import QtQuick.Window 2.14
import QtGraphicalEffects 1.0
import "../../../components"
import "../PlayerLogic.js" as Logic
import "../../../shared"

Rectangle {
    id: titleBar

    property string titleText: Qt.application.name
    property string userName: Tr.t("ui.text.account.login")
    property string avatarUrl: ""
    readonly property var hostWindow: titleBar.Window.window
    property bool windowIsMaximized: false
    property real dragThreshold: 3
    readonly property real settingsButtonCenterX: buttons.x + settingsButton.x + settingsButton.width / 2
    readonly property bool settingsButtonHovered: settingsButton.hovered
    readonly property real userInfoButtonCenterX: userButton.x + userButton.width / 2
    readonly property bool userInfoButtonHovered: userArea.containsMouse

    // Drag state.
    property point pressPosition: Qt.point(0, 0)
    property point pressGlobalPosition: Qt.point(0, 0)
    property point windowStartPosition: Qt.point(0, 0)
    property bool dragPressed: false
    property bool dragStarted: false
    property bool manualDrag: false

    signal settingsRequested()
    signal importFilesRequested()
    signal minimizeRequested()
    signal toggleMaximizeRequested()
    signal closeRequested()
    signal userInfoRequested()

    function clearDragState() {
        dragPressed = false
        dragStarted = false
        manualDrag = false
    }

    function beginDrag(x, y) {
        if (!hostWindow)
            return
        clearDragState()
        if (windowIsMaximized)
            return
        pressPosition = Qt.point(x, y)
        dragPressed = true
    }

    // globalX/Y: the pointer in screen coordinates, used by the manual move.
    function continueDrag(x, y, globalX, globalY) {
        if (!dragPressed || windowIsMaximized || !hostWindow)
            return
        if (manualDrag) {
            hostWindow.x = windowStartPosition.x + (globalX - pressGlobalPosition.x)
            hostWindow.y = windowStartPosition.y + (globalY - pressGlobalPosition.y)
            return
        }
        if (dragStarted)
            return
        if (!Logic.exceedsDragThreshold(x - pressPosition.x, y - pressPosition.y, dragThreshold))
            return
        dragStarted = true
        if (hostWindow.startSystemMove() === true)
            return
        pressGlobalPosition = Qt.point(globalX, globalY)
        windowStartPosition = Qt.point(hostWindow.x, hostWindow.y)
        manualDrag = true
    }

    height: 44
    color: Theme.titleBarBackground

    MouseArea {
        id: dragArea
        objectName: "titleDragArea"
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.right: userButton.left
        acceptedButtons: Qt.LeftButton
        onPressed: titleBar.beginDrag(mouse.x, mouse.y)
        onPositionChanged: {
            var global = mapToGlobal(mouse.x, mouse.y)
            titleBar.continueDrag(mouse.x, mouse.y, global.x, global.y)
        }
        onReleased: titleBar.clearDragState()
        onCanceled: titleBar.clearDragState()
        onDoubleClicked: titleBar.toggleMaximizeRequested()
    }

    Image {
        id: appIcon
        x: 14
        anchors.verticalCenter: parent.verticalCenter
        width: 26
        height: 26
        source: "qrc:/assets/app.ico"
        sourceSize.width: 52
        sourceSize.height: 52
        smooth: true
    }

    Text {
        id: title
        anchors.left: appIcon.right
        anchors.leftMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        width: Math.min(implicitWidth, 260)
        text: titleBar.titleText
        color: Theme.textStrong
        font.pixelSize: Theme.fontLarge
        font.bold: true
        elide: Text.ElideRight
    }

    Rectangle {
        id: importButton
        objectName: "importButton"
        anchors.left: title.right
        anchors.leftMargin: 18
        anchors.verticalCenter: parent.verticalCenter
        width: 108
        height: 30
        radius: 15
        color: importArea.pressed ? Theme.accentPressed : (importArea.containsMouse ? Theme.accentHover : Theme.accent)

        Row {
            anchors.centerIn: parent
            spacing: 6
            ThemedIcon {
                anchors.verticalCenter: parent.verticalCenter
                iconSize: 14
                source: "qrc:/assets/icons/playlist_add.svg"
                color: Theme.textPrimary
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: Tr.t("ui.text.file.import")
                color: Theme.textPrimary
                font.pixelSize: Theme.fontSmall
            }
        }
        MouseArea {
            id: importArea
            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: titleBar.importFilesRequested()
        }
    }

    Rectangle {
        id: userButton
        objectName: "userButton"
        anchors.right: buttons.left
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        width: 128
        height: 30
        radius: 15
        color: userArea.containsMouse ? Theme.buttonHoverOverlay : "transparent"

        Item {
            id: avatarBox
            x: 8
            anchors.verticalCenter: parent.verticalCenter
            width: 20
            height: 20

            ThemedIcon {
                anchors.fill: parent
                iconSize: 18
                visible: avatar.status !== Image.Ready
                source: "qrc:/assets/icons/nav_user.svg"
                color: Theme.textNormal
            }
            Image {
                id: avatar
                objectName: "avatarImage"
                anchors.fill: parent
                source: titleBar.avatarUrl.length > 0 ? Logic.imageSourceFromPath(titleBar.avatarUrl) : ""
                asynchronous: true
                cache: false
                fillMode: Image.PreserveAspectCrop
                visible: false
            }
            Rectangle {
                id: avatarMask
                anchors.fill: parent
                radius: Theme.radiusCard
                visible: false
            }
            OpacityMask {
                anchors.fill: parent
                source: avatar
                maskSource: avatarMask
                visible: avatar.status === Image.Ready
            }
        }

        Text {
            objectName: "userNameText"
            anchors.left: avatarBox.right
            anchors.leftMargin: 6
            anchors.right: parent.right
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            // The nickname is the server's: shown as text, never as markup.
            text: titleBar.userName
            textFormat: Text.PlainText
            color: Theme.textNormal
            font.pixelSize: Theme.fontSmall
            elide: Text.ElideRight
        }

        MouseArea {
            id: userArea
            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: titleBar.userInfoRequested()
        }
    }

    Row {
        id: buttons
        anchors.right: parent.right
        height: parent.height

        TitleBarButton {
            id: settingsButton
            objectName: "settingsButton"
            height: parent.height
            iconSource: "qrc:/assets/icons/nav_settings.svg"
            iconSize: 17
            onClicked: titleBar.settingsRequested()
        }
        TitleBarButton {
            objectName: "minimizeButton"
            height: parent.height
            iconSource: "qrc:/assets/icons/window_minimize.svg"
            onClicked: titleBar.minimizeRequested()
        }
        TitleBarButton {
            objectName: "maximizeButton"
            height: parent.height
            iconSource: titleBar.windowIsMaximized ? "qrc:/assets/icons/window_restore.svg"
                                                   : "qrc:/assets/icons/window_maximize.svg"
            onClicked: titleBar.toggleMaximizeRequested()
        }
        TitleBarButton {
            objectName: "closeButton"
            height: parent.height
            hoverColor: Theme.closeHover
            iconSource: "qrc:/assets/icons/window_close.svg"
            onClicked: titleBar.closeRequested()
        }
    }
}
