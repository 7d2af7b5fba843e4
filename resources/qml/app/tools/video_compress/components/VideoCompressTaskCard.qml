// The compress list's row: the shared task card with the size on the left, the estimated or
// actual size on the right, and the compression mode and ratio underneath.
import QtQuick 2.14
import "../../format_convert/components"
import "../../../../shared"

FormatConvertTaskCard {
    id: card

    property string targetSizeLabel: ""
    property string targetSizeText: ""
    property string compressionModeLabel: ""
    property string compressionRatioText: ""
    readonly property bool sourceDamaged: sourceResolution.indexOf(Tr.t("ui.text.file.damaged")) === 0

    sourceSecondaryLabel: sourceDamaged ? Tr.t("tool.common.label.resolution_with_padding")
                                        : Tr.t("tool.common.label.size_with_padding")
    sourceSecondaryValue: sourceDamaged ? sourceResolution : fileSizeText
    targetSecondaryLabel: targetSizeLabel
    targetSecondaryValue: targetSizeText
    parseErrorText: sourceDamaged ? sourceResolution : ""
    extraInfoText: sourceDamaged ? "" : "压缩方式: " + compressionModeLabel + "    压缩比例: " + compressionRatioText
}
