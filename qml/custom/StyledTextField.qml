import QtQuick 2.13
import QtQuick.Controls 2.13
import "../theme"

TextField {
    id: control
    // Marks the field as holding a rejected value.
    property bool keyError: false

    implicitHeight: 40
    color: "#fff"
    font.pixelSize: 16
    font.family: Theme.mainFontFamily
    placeholderTextColor: Theme.placeholderOnDark
    selectByMouse: true
    selectionColor: Theme.downloadBackground
    leftPadding: 12
    rightPadding: 12

    background: Rectangle {
        radius: 8
        color: "#323232"
        border.width: control.keyError ? 1 : (control.activeFocus ? 1 : 0)
        border.color: control.keyError ? Theme.errorText : "#5a5a5a"
    }

    Accessible.name: placeholderText

    FocusRing {
        // A text field has no visualFocus: keyboard focus is told by its reason.
        shown: control.activeFocus && (control.focusReason === Qt.TabFocusReason
                                       || control.focusReason === Qt.BacktabFocusReason
                                       || control.focusReason === Qt.ShortcutFocusReason)
        radius: 11
    }
}
