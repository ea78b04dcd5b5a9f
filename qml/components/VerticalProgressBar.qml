import QtQuick 2.13
import "../theme"

// A thin bar that fills from the bottom; value runs from 0 to 1.
Rectangle {
    id: bar
    property real value: 0
    property color barColor: Theme.downloadBackground

    implicitWidth: 9
    color: "#33000000"
    radius: width / 2
    clip: true

    Rectangle {
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
        height: parent.height * Math.max(0, Math.min(1, bar.value))
        radius: bar.radius
        color: bar.barColor
        Behavior on height { NumberAnimation { duration: 200 } }
    }
}
