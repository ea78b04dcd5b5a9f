import QtQuick 2.13

// Grey and lightened: how a product's picture looks while nothing of it is on disk. Draws the
// picture of an Image straight from its texture, laid over that Image (which is kept at
// opacity 0 meanwhile), so a faded picture costs one draw and no off-screen buffer.
ShaderEffect {
    id: effect

    // The Image whose picture is drawn, and whether it is drawn faded now.
    property variant source: null
    property bool active: true
    property real brightness: 0.5
    // The part of the picture the Image shows, as a fraction of the picture on each axis:
    // below 1 where the Image crops it, above 1 where it leaves a margin.
    property size shown: Qt.size(source && source.paintedWidth > 0 ? width / source.paintedWidth : 1,
                                 source && source.paintedHeight > 0 ? height / source.paintedHeight : 1)

    visible: active && source !== null && source.status === Image.Ready

    fragmentShader: "
        varying highp vec2 qt_TexCoord0;
        uniform sampler2D source;
        uniform lowp float qt_Opacity;
        uniform lowp float brightness;
        uniform highp vec2 shown;
        void main() {
            highp vec2 at = 0.5 + (qt_TexCoord0 - 0.5) * shown;
            if (at.x < 0.0 || at.x > 1.0 || at.y < 0.0 || at.y > 1.0) {
                gl_FragColor = vec4(0.0);
                return;
            }
            lowp vec4 c = texture2D(source, at);
            lowp float grey = dot(c.rgb, vec3(0.299, 0.587, 0.114));
            gl_FragColor = vec4(min(vec3(grey + brightness * c.a), vec3(c.a)), c.a) * qt_Opacity;
        }"
}
