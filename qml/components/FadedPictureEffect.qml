import QtQuick 2.13

// Grey and lightened: how a product's picture looks while nothing of it is on disk.
// Meant as a layer.effect, so a picture pays for it only while it is faded.
ShaderEffect {
    property real brightness: 0.5

    fragmentShader: "
        varying highp vec2 qt_TexCoord0;
        uniform sampler2D source;
        uniform lowp float qt_Opacity;
        uniform lowp float brightness;
        void main() {
            lowp vec4 c = texture2D(source, qt_TexCoord0);
            lowp float grey = dot(c.rgb, vec3(0.299, 0.587, 0.114));
            gl_FragColor = vec4(min(vec3(grey + brightness * c.a), vec3(c.a)), c.a) * qt_Opacity;
        }"
}
