import QtQuick 2.13
import QtQuick.Controls 2.13
import "../theme"
import "../custom"

// The action at the right end of a library row. Its look follows rowState; what a click does
// is the row's business, so it only reports the click with the keyboard modifiers held.
Item {
    id: button

    // "initial", "downloading", "downloaded", "refresh" or "error"
    property string rowState: "initial"
    property real progress: 0
    // The last error ever recorded for the row; shown on a long hover in every state.
    property string errorText: ""

    signal activated(int modifiers)

    // What a press does for this row, for a screen reader.
    property string name: ""
    Accessible.role: Accessible.Button
    Accessible.name: name
    Accessible.focusable: true
    Accessible.onPressAction: button.activated(Qt.NoModifier)
    Keys.onSpacePressed: button.activated(Qt.NoModifier)
    Keys.onReturnPressed: button.activated(event.modifiers)
    Keys.onEnterPressed: button.activated(event.modifiers)

    implicitWidth: 90
    implicitHeight: 44

    function showError() {
        errorTip.text = errorText
        errorTip.open()
    }

    ToolTip {
        id: errorTip
        objectName: "errorTip"
        timeout: 4000
    }

    VerticalProgressBar {
        objectName: "progressBar"
        anchors { left: parent.left; top: face.top; bottom: face.bottom }
        width: 9
        visible: button.rowState === "downloading"
        value: button.progress
        Accessible.role: Accessible.ProgressBar
        Accessible.name: qsTr("Download progress")
        Accessible.ignored: !visible
    }

    Rectangle {
        id: face
        objectName: "actionFace"
        anchors.centerIn: parent
        width: 44
        height: 44
        radius: width / 2
        color: {
            switch (button.rowState) {
            case "initial":
            case "refresh":
                return mouse.pressed ? Qt.darker(Theme.downloadBackground, 1.2) : Theme.downloadBackground
            case "error":
                return Theme.deleteRedBackground
            default:
                return mouse.pressed ? Qt.darker("#555", 1.2) : "#555"
            }
        }
        Behavior on color { ColorAnimation { duration: 200 } }

        FocusRing {
            shown: button.activeFocus
            radius: width / 2
        }

        SvgImageHDPI {
            anchors.centerIn: parent
            width: 20
            height: 20
            rotate: button.rowState === "downloading"
            source: {
                switch (button.rowState) {
                case "downloaded":
                    return "qrc:///icons/info_white.svg"
                case "downloading":
                    return "qrc:///icons/loading_white.svg"
                case "error":
                    return "qrc:///icons/exclamation-triangle_white.svg"
                default:
                    return "qrc:///icons/download_white.svg"
                }
            }
        }
    }

    MouseArea {
        id: mouse
        anchors.fill: face
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: button.activated(mouse.modifiers)
        onContainsMouseChanged: containsMouse ? hoverTimer.restart() : hoverTimer.stop()
    }

    Timer {
        id: hoverTimer
        interval: 2500
        onTriggered: if (button.errorText !== "") button.showError()
    }
}
