import QtQuick 2.13
import QtQuick.Controls 2.13
import "../theme"
import "../custom"

// The library's live search: every change goes straight to the model, so the field itself
// does nothing that costs more than drawing a character.
TextField {
    id: field

    property real radius: height / 2
    // The narrowest the field may become: its placeholder still shows whole.
    readonly property real leastWidth: Math.ceil(placeholderMetrics.advanceWidth(placeholderText)) + 12 + 26 + 2

    implicitWidth: 120
    implicitHeight: 28
    leftPadding: 12
    rightPadding: clearIcon.visible ? 26 : 12
    topPadding: 0
    bottomPadding: 0
    verticalAlignment: TextInput.AlignVCenter
    selectByMouse: true
    placeholderText: qsTr("Search...")
    placeholderTextColor: Theme.placeholderOnLight
    color: Theme.mainTextColor
    font.pixelSize: 12
    font.family: Theme.systemFontFamily

    background: Rectangle {
        radius: field.radius
        color: "#fff"
        border.color: field.activeFocus ? Theme.downloadBackground : "#d0d0d0"
    }

    FontMetrics {
        id: placeholderMetrics
        font: field.font
    }

    Keys.onEscapePressed: text = ""
    Accessible.name: qsTr("Search the library")

    FocusRing {
        shown: field.activeFocus && (field.focusReason === Qt.TabFocusReason
                                     || field.focusReason === Qt.BacktabFocusReason
                                     || field.focusReason === Qt.ShortcutFocusReason)
        radius: field.radius + 3
    }

    SvgImageHDPI {
        id: clearIcon
        anchors { right: parent.right; rightMargin: 10; verticalCenter: parent.verticalCenter }
        width: 8
        height: 8
        visible: field.text !== ""
        source: "qrc:///icons/close_black.svg"

        MouseArea {
            anchors { fill: parent; margins: -6 }
            cursorShape: Qt.PointingHandCursor
            onClicked: field.text = ""
            Accessible.role: Accessible.Button
            Accessible.name: qsTr("Clear the search")
            Accessible.onPressAction: field.text = ""
        }
    }
}
