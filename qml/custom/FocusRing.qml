import QtQuick 2.13
import "../theme"

// The keyboard focus of its parent: an accent ring just outside it with a white line inside,
// so it shows on the dark header as on the light list. Hidden for focus a click gave.
Rectangle {
    id: ring

    property bool shown: false
    property real inset: -3

    anchors { fill: parent; margins: inset }
    visible: shown
    z: 100
    color: "transparent"
    radius: 6
    border.width: 2
    border.color: Theme.focusRing

    Rectangle {
        anchors { fill: parent; margins: ring.border.width }
        color: "transparent"
        radius: Math.max(0, ring.radius - ring.border.width)
        border.width: 1
        border.color: "#fff"
    }
}
