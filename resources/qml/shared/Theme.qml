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
    // Backgrounds, darkest first.
    readonly property color windowBackground: "#050505"
    readonly property color placeholderBackground: "#0B0C0E"
    readonly property color surface: "#121212"
    readonly property color surfaceRaised: "#1C1E22"
    readonly property color popupBackground: "#F01C1E22"
    readonly property color dialogScrim: "#99000000"

    // Text.
    readonly property color textPrimary: "#FFFFFF"
    readonly property color textStrong: "#F3F6FB"
    readonly property color textNormal: "#DDE2E8"
    readonly property color textSoft: "#E6EAF0"
    readonly property color textMuted: "#C8CDD4"
    readonly property color textDim: "#9AA3AE"
    readonly property color textFaint: "#7D8693"

    // Accent and states.
    readonly property color accent: "#3D8BFF"
    readonly property color accentHover: "#4A95FF"
    readonly property color accentPressed: "#2F6FD0"
    readonly property color danger: "#C93C3C"
    readonly property color dangerPressed: "#A93232"
    readonly property color closeHover: "#E81123"
    readonly property color hoverOverlay: "#1FFFFFFF"
    readonly property color pressedOverlay: "#33FFFFFF"
    readonly property color divider: "#26FFFFFF"
    readonly property color transparent: "transparent"

    // Sizes.
    readonly property int fontSmall: 12
    readonly property int fontBody: 13
    readonly property int fontLarge: 14
    readonly property int fontTitle: 16
    readonly property int radiusSmall: 4
    readonly property int radius: 6
    readonly property int radiusLarge: 8
    readonly property int titleBarHeight: 44
}
