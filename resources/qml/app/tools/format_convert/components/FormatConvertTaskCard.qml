// One row of a tool's task list: thumbnail with duration, file name, the source and target
// values, progress and status. Driven by its properties only, so any tool's list can use it.
import QtQuick 2.14
import "../../../../components"
import "../../../../components/FileUrl.js" as FileUrl
import "../../../../shared"

Item {
    id: card

    property int itemIndex: -1
    property string sourcePath: ""
    property string fileName: ""
    property string fileSizeText: ""
    property string sourceFormat: ""
    property string sourceResolution: "Auto"
    property string targetFormat: ""
    property string targetResolution: "Auto"
    property string sourceSecondaryLabel: Tr.t("tool.common.label.resolution_with_padding")
    property string targetSecondaryLabel: Tr.t("tool.common.label.resolution_with_padding")
    property string sourceSecondaryValue: sourceResolution
    property string targetSecondaryValue: targetResolution
    property string extraInfoText: ""
    property string parseErrorText: ""
    property int status: 0
    property real progress: 0
    property var previewData: Guard.object("mediaPreviewService") !== null
                              ? Guard.call("mediaPreviewService", "previewForFile", [sourcePath])
                              : ({ loading: false, durationText: "00:00:00" })

    readonly property bool extraInfoVisible: extraInfoText.length > 0
    readonly property bool parseErrorVisible: parseErrorText.length > 0
    readonly property bool previewLoading: !!(previewData && previewData.loading === true)
    readonly property string thumbnailSource: previewData && previewData.thumbnailPath ? String(previewData.thumbnailPath) : ""
    readonly property string durationText: previewLoading ? Tr.t("tool.common.loading_ellipsis")
                                          : (previewData && previewData.durationText ? String(previewData.durationText) : "00:00:00")
    readonly property string displayDurationText: parseErrorVisible ? Tr.t("ui.text.file.damaged") : durationText
    readonly property int progressPercent: Math.max(0, Math.min(100, Math.round(progress * 100)))
    readonly property bool isRunning: status === 1
    readonly property bool isCompleted: status === 2
    readonly property bool isFailed: status === 3

    signal removeRequested(int row)

    height: extraInfoVisible ? 116 : 96

    Connections {
        target: Guard.object("mediaPreviewService")
        ignoreUnknownSignals: true
        function onPreviewReady(path, preview) {
            if (path === card.sourcePath)
                card.previewData = preview
        }
    }

    Rectangle {
        anchors.fill: parent
        radius: Theme.radiusCard
        color: Theme.cardBackground
        clip: true

        Rectangle {
            id: band
            anchors.left: parent.left
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            visible: card.isRunning || card.isCompleted || card.isFailed
            width: card.isRunning ? parent.width * Math.max(0, Math.min(1, card.progress)) : parent.width
            opacity: 0.18
            color: card.isFailed ? Theme.taskBandFailed : card.isCompleted ? Theme.taskBandDone : Theme.taskBandRunning
        }
    }

    Rectangle {
        id: thumbnail
        x: 12
        anchors.verticalCenter: parent.verticalCenter
        width: 130
        height: 74
        radius: Theme.radiusSmall
        color: Theme.mediaCoverBackground
        clip: true

        Image {
            id: thumbImage
            anchors.fill: parent
            fillMode: Image.PreserveAspectCrop
            asynchronous: true
            // The preview service may hand a path or a file URL.
            source: /^file:/.test(card.thumbnailSource) ? card.thumbnailSource : FileUrl.fromLocalPath(card.thumbnailSource)
            visible: status === Image.Ready
        }
        Image {
            anchors.centerIn: parent
            width: 40
            height: 40
            source: "qrc:/assets/icons/playlist_item_thumb_placeholder.svg"
            visible: thumbImage.status !== Image.Ready && !card.previewLoading
        }
        Text {
            anchors.centerIn: parent
            visible: card.previewLoading
            text: Tr.t("tool.common.loading")
            color: Theme.textMuted
            font.pixelSize: Theme.fontSmall
        }
        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 18
            color: "#99000000"
            Text {
                anchors.centerIn: parent
                text: card.displayDurationText
                color: card.parseErrorVisible ? Theme.damagedText : Theme.textPrimary
                font.pixelSize: Theme.fontTiny
            }
        }
        Rectangle {
            anchors.top: parent.top
            anchors.right: parent.right
            visible: card.fileSizeText.length > 0
            width: sizeBadge.implicitWidth + 8
            height: 16
            color: Theme.badgeBackground
            Text {
                id: sizeBadge
                anchors.centerIn: parent
                text: card.fileSizeText
                color: Theme.textSoft
                font.pixelSize: Theme.fontTiny
            }
        }
    }

    Column {
        anchors.left: thumbnail.right
        anchors.leftMargin: 14
        anchors.right: statusText.left
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        spacing: 8

        Text {
            width: parent.width
            elide: Text.ElideRight
            text: card.fileName
            color: Theme.textCardTitle
            font.pixelSize: Theme.fontCardTitle
        }
        Text {
            width: parent.width
            elide: Text.ElideRight
            visible: !card.parseErrorVisible
            text: Tr.t("tool.common.label.format_with_padding") + card.sourceFormat + "    "
                  + card.sourceSecondaryLabel + card.sourceSecondaryValue + "    >>    "
                  + Tr.t("tool.common.label.format_with_padding") + card.targetFormat + "    "
                  + card.targetSecondaryLabel + card.targetSecondaryValue
            color: Theme.textBody
            font.pixelSize: Theme.fontSmall
        }
        Text {
            width: parent.width
            elide: Text.ElideRight
            visible: card.parseErrorVisible
            text: card.parseErrorText
            color: Theme.damagedText
            font.pixelSize: Theme.fontSmall
        }
        Text {
            width: parent.width
            elide: Text.ElideRight
            visible: card.extraInfoVisible
            text: card.extraInfoText
            color: Theme.textMuted
            font.pixelSize: Theme.fontSmall
        }
    }

    Text {
        id: statusText
        anchors.right: parent.right
        anchors.rightMargin: 44
        anchors.verticalCenter: parent.verticalCenter
        width: 80
        horizontalAlignment: Text.AlignRight
        text: card.isRunning ? card.progressPercent + "%"
              : card.isCompleted ? "100%"
              : card.isFailed ? Tr.t("tool.common.export_failed") : ""
        color: card.isFailed ? Theme.damagedText : Theme.textPrimary
        font.pixelSize: Theme.fontBody
    }

    ThemedIcon {
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.topMargin: 8
        anchors.rightMargin: 8
        width: 14
        height: 14
        source: "qrc:/assets/icons/window_close.svg"
        color: closeArea.containsMouse ? Theme.textPrimary : Theme.iconMuted
    }
    MouseArea {
        id: closeArea
        objectName: "removeArea"
        anchors.top: parent.top
        anchors.right: parent.right
        width: 28
        height: 28
        hoverEnabled: true
        onClicked: card.removeRequested(card.itemIndex)
    }
}
