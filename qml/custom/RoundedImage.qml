import QtQuick 2.13
import QtGraphicalEffects 1.0

Item {
    id: root
    property alias source: image.source
    property alias status: image.status
    property alias fillMode: image.fillMode
    property alias sourceSize: image.sourceSize
    property real radius: 6
    property real desaturation: 0
    property real brightness: 0

    Image {
        id: image
        anchors.fill: parent
        visible: false
        asynchronous: true
        fillMode: Image.PreserveAspectCrop
    }
    Rectangle {
        id: mask
        anchors.fill: parent
        radius: root.radius
        visible: false
    }
    OpacityMask {
        id: masked
        anchors.fill: parent
        source: image
        maskSource: mask
        visible: false
    }
    Desaturate {
        id: grey
        anchors.fill: parent
        source: masked
        desaturation: root.desaturation
        visible: false
    }
    BrightnessContrast {
        anchors.fill: parent
        source: grey
        brightness: root.brightness
    }
}
