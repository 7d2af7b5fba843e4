// Theme: the colours and sizes of every QML document, in one place.
//
//   import "qrc:/qml/shared"            (or the relative path of this folder)
//   color: Theme.accent                 font.pixelSize: Theme.fontBody
//
// Names say what a colour is for; a colour used by one control only is named after it. Add a
// name here rather than writing a literal in a document.
pragma Singleton
import QtQml 2.14

QtObject {
    // General names for new documents.
    readonly property color surface: "#121212"
    readonly property color surfaceRaised: "#1C1E22"
    readonly property color divider: "#26FFFFFF"
    readonly property color transparent: "transparent"

    // Backgrounds.
    readonly property color windowBackground: "#050505"
    readonly property color videoBackground: "#000000"
    readonly property color placeholderBackground: "#0B0C0E"
    readonly property color titleBarBackground: "#101215"
    readonly property color toolWindowBackground: "#121212"
    readonly property color toolTitleBarBackground: "#1A1A1A"
    readonly property color playlistPanelBackground: "#15171B"
    readonly property color playlistRowBackground: "#1E2126"
    readonly property color mediaCoverBackground: "#262A30"
    readonly property color cardBackground: "#1C1E22"
    readonly property color resultCardBackground: "#1F1F1F"
    readonly property color badgeBackground: "#2C2C2C"
    readonly property color popupBackground: "#F01C1E22"
    readonly property color controlBarBackground: "#E6111316"
    readonly property color toastBackground: "#E6202329"
    readonly property color toggleTabBackground: "#CC1C1E22"
    readonly property color toggleTabHover: "#E62B2F36"
    readonly property color dialogBackground: "#1B1B1B"
    readonly property color dialogTitleBar: "#222222"
    readonly property color dialogSideMenu: "#171717"
    readonly property color dialogMenuSelected: "#2A2F38"
    readonly property color dialogBorder: "#333333"

    // Overlays.
    readonly property color modalScrim: "#80000000"
    readonly property color dialogScrim: "#99000000"
    readonly property color dropOverlay: "#B30E1A2E"
    readonly property color panelDropOverlay: "#CC0E1A2E"
    readonly property color rowHover: "#14FFFFFF"
    readonly property color hoverOverlay: "#1FFFFFFF"
    readonly property color buttonHoverOverlay: "#22FFFFFF"
    readonly property color menuItemHover: "#26FFFFFF"
    readonly property color pressedOverlay: "#33FFFFFF"
    readonly property color trackOverlay: "#40FFFFFF"
    readonly property color volumeTrack: "#4DFFFFFF"
    readonly property color centerButtonHover: "#B3262626"
    readonly property color centerButtonPressed: "#CC1A1A1A"

    // Accent and states.
    readonly property color accent: "#3D8BFF"
    readonly property color accentHover: "#4A95FF"
    readonly property color accentPressed: "#2F6FD0"
    readonly property color toolButtonHover: "#4A94FF"
    readonly property color accentCurrentRow: "#263D8BFF"
    readonly property color accentSelected: "#333D8BFF"
    readonly property color listHighlight: "#34496B"
    readonly property color danger: "#C93C3C"
    readonly property color dangerPressed: "#A93232"
    readonly property color closeHover: "#E81123"
    readonly property color damagedText: "#FF5A5A"
    readonly property color sliderHandlePressed: "#DDE8FF"
    readonly property color titleButtonHover: "#2B2F36"

    // Controls.
    readonly property color chooserBackground: "#262626"
    readonly property color chooserPressed: "#2E2E2E"
    readonly property color chooserPopupBackground: "#232323"
    readonly property color fieldBackground: "#1E1E1E"
    readonly property color buttonBackground: "#2A2A2A"
    readonly property color buttonHover: "#333333"
    readonly property color buttonPressed: "#3A3A3A"
    readonly property color toolButtonBackground: "#2B2B2B"
    readonly property color toolButtonHoverBackground: "#313131"
    readonly property color toolButtonPressed: "#363636"
    readonly property color controlBorder: "#3C3C3C"
    readonly property color controlBorderHover: "#5A5A5A"
    readonly property color selectBorder: "#404040"
    readonly property color selectBorderHover: "#545454"
    readonly property color checkBorder: "#6A6A6A"
    readonly property color checkBorderHover: "#8A8A8A"

    // Text and icons.
    readonly property color textPrimary: "#FFFFFF"
    readonly property color textStrong: "#F3F6FB"
    readonly property color textCardTitle: "#F4F4F4"
    readonly property color textHeading: "#F0F0F0"
    readonly property color textSoft: "#E6EAF0"
    readonly property color textField: "#E6E6E6"
    readonly property color textNormal: "#DDE2E8"
    readonly property color textBody: "#D8D8D8"
    readonly property color textMuted: "#C8CDD4"
    readonly property color textLabel: "#C8C8C8"
    readonly property color textMenu: "#B4B4B4"
    readonly property color textAboutSecondary: "#AEB6C1"
    readonly property color textDim: "#9AA3AE"
    readonly property color textDuration: "#8C95A2"
    readonly property color textHint: "#8A919B"
    readonly property color textScale: "#8C8C8C"
    readonly property color textFaint: "#7D8693"
    readonly property color textChooserDisabled: "#7A7A7A"
    readonly property color textPlaceholder: "#707070"
    readonly property color textDisabled: "#6A6A6A"
    readonly property color chooserArrow: "#A0A0A0"
    readonly property color iconMuted: "#5A6270"
    readonly property color panelIconMuted: "#6B7480"
    readonly property color placeholderIcon: "#4A5260"
    readonly property color toolTipText: "#101010"
    readonly property color toolTipBackground: "#FFFBE6"
    readonly property color toolTipBorder: "#BEBEBE"
    // Sizes: fonts in pixels, corner radii.
    readonly property int fontTiny: 9
    readonly property int fontToolTip: 10
    readonly property int fontCaption: 11
    readonly property int fontSmall: 12
    readonly property int fontBody: 13
    readonly property int fontLarge: 14
    readonly property int fontCardTitle: 15
    readonly property int fontTitle: 16
    readonly property int fontHeading: 18
    readonly property int radiusTiny: 2
    readonly property int radiusSmaller: 3
    readonly property int radiusSmall: 4
    readonly property int radius: 6
    readonly property int radiusLarge: 8
    readonly property int radiusCard: 10
    readonly property int titleBarHeight: 44

    // The quality tags of the play list: brighter on the current row.
    function qualityTagColor(tag, current) {
        switch (tag) {
        case "8K": return current ? "#FFB14A" : "#E0922C"
        case "4K": return current ? "#5FE1C8" : "#36B79F"
        case "AUDIO": return current ? "#C59BFF" : "#9A6FE0"
        default: return current ? "#7FB8FF" : "#4C8FE6"
        }
    }

    // Tool task cards and the tool pages' error toast.
    readonly property color taskBandRunning: "#3D8BFF"
    readonly property color taskBandDone: "#2EAD5B"
    readonly property color taskBandFailed: "#E04848"
    readonly property color toastVeil: "#66000000"
    readonly property color toastError: "#D93A3A"

    // The option rows of the video-to-text page.
    readonly property color textOption: "#F5F5F5"
    readonly property color radioBorder: "#D8D8D8"
    // The sign-in dialog: a light panel over the dark page, and the account popup.
    readonly property string loginFontFamily: "Microsoft YaHei"
    readonly property color loginPanel: "#FFFFFF"
    readonly property color loginTextPrimary: "#1F2329"
    readonly property color loginTextSecondary: "#8F959E"
    readonly property color loginFieldBackground: "#F5F6F7"
    readonly property color loginFieldBorder: "#E5E6EB"
    readonly property color loginFieldBorderFocus: "#3D8BFF"
    readonly property color loginError: "#F54A45"
    readonly property color loginBindTipBackground: "#FFF1F0"
    readonly property color loginButtonDisabled: "#C9CDD4"
    readonly property color loginBadge: "#FF7D00"
    readonly property color loginCover: "#E6FFFFFF"
    readonly property color loginCloseHover: "#F2F3F5"
    readonly property color loginFrameBorder: "#E5E6EB"
    readonly property int loginRadius: 12
}
