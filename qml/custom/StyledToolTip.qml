import QtQuick 2.13
import QtQuick.Controls 2.13
import "../theme"

// A tool tip for its parent; set `active` from the parent's hover state.
Item {
    id: root
    property string text: ""
    property int delay: 1000
    property bool active: false
    anchors.fill: parent

    ToolTip {
        id: tip
        visible: root.active && root.text !== ""
        delay: root.delay
        padding: 6
        contentItem: Text {
            text: root.text
            color: Theme.mainTextColor
            font.pixelSize: 12
            font.family: Theme.systemFontFamily
            wrapMode: Text.Wrap
        }
        background: Rectangle {
            color: Theme.popupBackground
            border.color: "#cccccc"
            radius: 2
        }
    }
}
