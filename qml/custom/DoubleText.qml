import QtQuick 2.13
import "../theme"

// A small grey label over its value.
Item {
    id: root
    property string label: ""
    property string value: ""

    implicitWidth: Math.max(labelText.implicitWidth, valueText.implicitWidth)
    implicitHeight: labelText.implicitHeight + valueText.implicitHeight + 2

    Text {
        id: labelText
        width: root.width
        text: root.label
        color: "#828282"
        font.pixelSize: 10
        font.family: Theme.mainFontFamily
        elide: Text.ElideRight
    }
    Text {
        id: valueText
        anchors.top: labelText.bottom
        anchors.topMargin: 2
        width: root.width
        text: root.value
        color: "#fff"
        font.pixelSize: 16
        font.family: Theme.mainFontFamily
        elide: Text.ElideRight

        MouseArea {
            id: hover
            anchors.fill: parent
            hoverEnabled: valueText.truncated
            acceptedButtons: Qt.NoButton
        }
        StyledToolTip {
            text: root.value
            active: valueText.truncated && hover.containsMouse
        }
    }
}
