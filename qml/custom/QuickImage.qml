import QtQuick 2.13

// Shows a quick low-resolution image until the full one has loaded.
Item {
    id: root
    property url quickSource: ""
    property url source: ""
    property int fillMode: Image.PreserveAspectFit
    readonly property bool quickImageReady: quick.status === Image.Ready
    readonly property bool mainImageReady: main.status === Image.Ready

    Image {
        id: quick
        anchors.fill: parent
        source: root.quickSource
        fillMode: root.fillMode
        asynchronous: true
        visible: !root.mainImageReady
    }
    Image {
        id: main
        anchors.fill: parent
        source: root.source
        fillMode: root.fillMode
        asynchronous: true
        visible: root.mainImageReady
    }
}
