import QtQuick 2.13

ImageButton {
    id: control
    property color color: "#232323"
    implicitWidth: 32
    implicitHeight: 32
    background: Rectangle {
        radius: width / 2
        color: control.down ? Qt.darker(control.color, 1.2) : control.color
    }
}
