import QtQuick 2.13

// A clickable area the keyboard and a screen reader reach too: Tab stops on it, Space and
// Return press it, and so does the reader's press action.
MouseArea {
    id: area

    signal activated()
    property alias ring: ring

    activeFocusOnTab: enabled && visible
    cursorShape: Qt.PointingHandCursor
    onClicked: area.activated()
    Keys.onSpacePressed: area.activated()
    Keys.onReturnPressed: area.activated()
    Keys.onEnterPressed: area.activated()

    Accessible.role: Accessible.Button
    Accessible.focusable: true
    Accessible.onPressAction: area.activated()

    FocusRing {
        id: ring
        shown: area.activeFocus
    }
}
