// Single-colour SVG icon: one file serves every colour, the page picks it through `color`.
import QtQuick 2.14
import "../shared"

Item {
    id: root

    property url source: ""
    property color color: Theme.textPrimary
    property real iconSize: Math.min(width, height)
    readonly property int status: image.status

    implicitWidth: iconSize
    implicitHeight: iconSize

    Image {
        id: image
        objectName: "themedIconImage"
        anchors.centerIn: parent
        width: root.iconSize
        height: root.iconSize
        source: root.source
        // Rendered at three times the shown size so the icon stays sharp when scaled up on
        // dense screens; the hidden image only feeds the overlay.
        sourceSize.width: Math.max(1, Math.round(root.iconSize * 3))
        sourceSize.height: Math.max(1, Math.round(root.iconSize * 3))
        fillMode: Image.PreserveAspectFit
        smooth: true
        mipmap: true
        visible: false
    }

    // The hidden image is sampled straight from its own texture: a colour overlay effect would
    // first draw every icon into a layer of its own, one extra render pass per icon per change.
    ShaderEffect {
        anchors.fill: image
        property variant source: image
        property color color: root.color
        // Each pixel takes the colour and keeps the picture's coverage (a translucent colour
        // mixes with the picture's own, as a colour overlay does).
        fragmentShader: "
            varying highp vec2 qt_TexCoord0;
            uniform sampler2D source;
            uniform highp vec4 color;
            uniform lowp float qt_Opacity;
            void main() {
                highp vec4 pixel = texture2D(source, qt_TexCoord0);
                highp vec3 rgb = mix(pixel.rgb / max(pixel.a, 0.00390625), color.rgb / max(color.a, 0.00390625), color.a);
                gl_FragColor = vec4(rgb * pixel.a, pixel.a) * qt_Opacity;
            }"
    }
}
