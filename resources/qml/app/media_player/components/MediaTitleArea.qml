// Cover picture and media title of the control bar; a title too long to fit scrolls while shown.
import QtQuick 2.14
import "../../../shared"

Item {
    id: area

    property string title: ""
    property string coverSource: ""
    property bool running: false
    readonly property int gap: 28
    readonly property real textAreaWidth: Math.max(0, width - textBox.x)
    readonly property bool overflowing: measure.implicitWidth > textAreaWidth
    readonly property real coverWidth: width >= 220 ? 52 : (width >= 150 ? 36 : 0)

    clip: true

    Rectangle {
        id: coverBox
        objectName: "coverBox"
        width: area.coverWidth
        height: Math.round(width * 9 / 16)
        visible: width > 0
        anchors.verticalCenter: parent.verticalCenter
        radius: Theme.radiusSmaller
        color: Theme.mediaCoverBackground
        clip: true

        Image {
            id: coverPlaceholder
            anchors.fill: parent
            source: "qrc:/assets/icons/playlist_item_thumb_placeholder.svg"
            sourceSize.width: 96
            fillMode: Image.PreserveAspectFit
            visible: cover.status !== Image.Ready
            opacity: 0.6
        }
        Image {
            id: cover
            anchors.fill: parent
            source: area.coverSource
            fillMode: Image.PreserveAspectCrop
            asynchronous: true
            cache: false
            visible: status === Image.Ready
        }
    }

    Text {
        id: measure
        visible: false
        text: area.title
        font: shown.font
    }

    Item {
        id: textBox
        x: coverBox.visible ? coverBox.width + 10 : 0
        width: area.textAreaWidth
        height: parent.height
        clip: true

        Text {
            id: shown
            objectName: "mediaTitleText"
            anchors.verticalCenter: parent.verticalCenter
            width: area.overflowing ? implicitWidth : parent.width
            elide: area.overflowing ? Text.ElideNone : Text.ElideRight
            text: area.title
            color: Theme.textStrong
            font.pixelSize: Theme.fontBody
        }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            x: shown.x + measure.implicitWidth + area.gap
            visible: area.overflowing
            text: area.title
            color: shown.color
            font: shown.font
        }
    }

    SequentialAnimation {
        id: scroll
        objectName: "titleScroll"
        running: area.running && area.overflowing && area.visible
        loops: Animation.Infinite
        onRunningChanged: if (!running) shown.x = 0
        PropertyAction { target: shown; property: "x"; value: 0 }
        PauseAnimation { duration: 900 }
        NumberAnimation {
            target: shown
            property: "x"
            from: 0
            to: -(measure.implicitWidth + area.gap)
            duration: Math.max(2800, measure.implicitWidth * 26)
            easing.type: Easing.Linear
        }
    }
}
