import QtQuick 2.13
import QtQuick.Window 2.13

// An SVG drawn at the item's device pixel size, so icons stay sharp on any scale factor.
Image {
    id: image
    property bool doublePrecision: false
    property bool rotate: false

    readonly property real scaleFactor: (Screen.devicePixelRatio > 0 ? Screen.devicePixelRatio : 1)
                                        * (doublePrecision ? 2 : 1)
    sourceSize: Qt.size(Math.max(1, width * scaleFactor), Math.max(1, height * scaleFactor))
    fillMode: Image.PreserveAspectFit
    smooth: true
    asynchronous: false

    // Not an animator: one writes its last angle back after it has stopped, which left icons
    // that had spun standing askew.
    NumberAnimation on rotation {
        from: 0
        to: 360
        duration: 1000
        loops: Animation.Infinite
        running: image.rotate && image.visible
        onRunningChanged: if (!running) image.rotation = 0
    }
}
