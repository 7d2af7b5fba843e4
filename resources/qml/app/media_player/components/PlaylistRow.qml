// One play-list row: title with tags and duration (list view) or thumbnail beside them
// (thumbnail view), hover delete button and the full title in a tip when it is cut off.
import QtQuick 2.14
import "../../../components"
import "../PlayerLogic.js" as Logic
import "../../../shared"

Rectangle {
    id: row

    property int rowIndex: -1
    property string title: ""
    property string tag: ""
    property string sourcePath: ""
    property bool thumbnailMode: false
    property bool current: false
    property bool hovered: false
    property var preview: ({ loading: false, durationText: "00:00:00" })
    property Item toolTipHost: null

    readonly property var tags: Logic.rowTags(tag, preview ? preview.qualityTag : "")
    readonly property var durationState: Logic.rowDurationState(preview, Tr.t("ui.text.common.loading_ellipsis"),
                                                                Tr.t("ui.text.file.damaged"))
    readonly property bool titleTruncated: titleText.truncated
    readonly property string thumbnailSource: preview && !preview.loading ? Logic.imageSourceFromPath(preview.thumbnailPath) : ""

    signal removeRequested(int index)
    signal activateRequested(int index)

    height: thumbnailMode ? 54 : 44
    color: current ? Theme.accentCurrentRow : (hovered ? Theme.rowHover : "transparent")

    Rectangle {
        id: thumb
        objectName: "rowThumbnail"
        visible: row.thumbnailMode
        x: 10
        anchors.verticalCenter: parent.verticalCenter
        width: 64
        height: 36
        radius: Theme.radiusSmaller
        color: Theme.playlistRowBackground
        clip: true

        Image {
            id: thumbImage
            objectName: "rowThumbnailImage"
            anchors.fill: parent
            source: row.thumbnailMode ? row.thumbnailSource : ""
            fillMode: Image.PreserveAspectCrop
            asynchronous: true
            cache: false
            visible: status === Image.Ready
        }
        ThemedIcon {
            anchors.centerIn: parent
            iconSize: 22
            visible: thumbImage.status !== Image.Ready && !(row.preview && row.preview.loading)
            source: "qrc:/assets/icons/playlist_item_thumb_placeholder.svg"
            color: Theme.iconMuted
        }
        Text {
            anchors.centerIn: parent
            visible: row.preview && row.preview.loading === true
            text: Tr.t("ui.text.common.loading")
            color: Theme.textFaint
            font.pixelSize: Theme.fontTiny
        }
    }

    Item {
        id: textBlock
        anchors.left: row.thumbnailMode ? thumb.right : parent.left
        anchors.leftMargin: row.thumbnailMode ? 10 : 14
        anchors.right: deleteButton.visible ? deleteButton.left : parent.right
        anchors.rightMargin: 8
        anchors.top: parent.top
        anchors.bottom: parent.bottom

        Row {
            id: titleLine
            y: row.thumbnailMode ? 8 : (parent.height - height) / 2
            width: row.thumbnailMode ? parent.width : parent.width - (durationLabel.implicitWidth + 8)
            spacing: 4

            Text {
                id: titleText
                objectName: "rowTitle"
                width: Math.min(implicitWidth, Math.max(10, titleLine.width - tagRow.width - 4))
                text: row.title
                elide: Text.ElideRight
                color: row.current ? Theme.textPrimary : Theme.textNormal
                font.pixelSize: Theme.fontSmall
            }
            Row {
                id: tagRow
                spacing: 3
                anchors.verticalCenter: titleText.verticalCenter
                Repeater {
                    model: row.tags
                    delegate: Rectangle {
                        objectName: "rowTag_" + modelData
                        width: tagText.implicitWidth + 8
                        height: 14
                        radius: Theme.radiusSmaller
                        color: "transparent"
                        border.width: 1
                        border.color: Theme.qualityTagColor(modelData, row.current)
                        Text {
                            id: tagText
                            anchors.centerIn: parent
                            text: modelData
                            color: Theme.qualityTagColor(modelData, row.current)
                            font.pixelSize: Theme.fontTiny
                            font.bold: true
                        }
                    }
                }
            }
        }

        Text {
            id: durationLabel
            objectName: "rowDuration"
            anchors.right: row.thumbnailMode ? undefined : parent.right
            anchors.left: row.thumbnailMode ? parent.left : undefined
            y: row.thumbnailMode ? parent.height - height - 8 : (parent.height - height) / 2
            text: row.durationState.text
            color: row.durationState.damaged ? Theme.damagedText : Theme.textDuration
            font.pixelSize: Theme.fontCaption
        }
    }

    MouseArea {
        id: rowArea
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton
        onDoubleClicked: row.activateRequested(row.rowIndex)
    }

    // Only a real hover (not a stale one after scrolling) shows the tip.
    Item {
        id: tipTarget
        readonly property bool containsMouse: row.hovered && row.titleTruncated
        property real mouseX: titleText.x + textBlock.x + 10
        property real mouseY: titleText.y + titleLine.y
        anchors.fill: parent
    }
    HoverToolTip {
        host: row.toolTipHost ? row.toolTipHost : row
        target: tipTarget
        text: row.title
        timeout: 4500
        maxWidth: 420
        textElide: Text.ElideMiddle
        followMouse: false
    }

    ControlIconButton {
        id: deleteButton
        objectName: "rowDeleteButton"
        visible: row.hovered
        width: 28
        height: 28
        anchors.right: parent.right
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        iconSource: "qrc:/assets/icons/playlist_delete.svg"
        iconSize: 15
        onClicked: row.removeRequested(row.rowIndex)
    }
}
