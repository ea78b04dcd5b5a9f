import QtQuick 2.13

// Two-halved pill: tiles on the left, list on the right.
Item {
    id: toggle
    property bool leftActive: false
    property color activeColor: "#d0252b"
    property color inactiveColor: "#c2c2c2"
    property string leftName: ""
    property string rightName: ""
    signal leftClicked()
    signal rightClicked()

    implicitWidth: 60
    implicitHeight: 28

    Repeater {
        model: 2
        Item {
            readonly property bool isLeft: index === 0
            readonly property bool active: isLeft === toggle.leftActive
            objectName: isLeft ? "tileHalf" : "listHalf"
            x: isLeft ? 0 : toggle.width / 2
            width: toggle.width / 2
            height: toggle.height
            clip: true

            Rectangle {
                // A full pill whose other half is clipped away, plus a square inner edge.
                x: isLeft ? 0 : -parent.width
                width: toggle.width
                height: parent.height
                radius: height / 2
                color: active ? toggle.activeColor : toggle.inactiveColor
                Behavior on color { ColorAnimation { duration: 150 } }
            }

            SvgImageHDPI {
                anchors.centerIn: parent
                width: 14
                height: 14
                source: isLeft ? (active ? "qrc:///icons/tile_view_white.svg" : "qrc:///icons/tile_view_black.svg")
                               : (active ? "qrc:///icons/bars_white.svg" : "qrc:///icons/bars_black.svg")
            }

            FocusArea {
                anchors.fill: parent
                Accessible.role: Accessible.RadioButton
                Accessible.checkable: true
                Accessible.checked: active
                Accessible.name: isLeft ? toggle.leftName : toggle.rightName
                // Inside the half, which clips.
                ring.inset: 1
                ring.radius: 12
                onActivated: {
                    toggle.leftActive = isLeft
                    if (isLeft)
                        toggle.leftClicked()
                    else
                        toggle.rightClicked()
                }
            }
        }
    }
}
