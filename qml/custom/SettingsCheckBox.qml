import QtQuick 2.13
import "../theme"

CustomCheckbox {
    checkedSource: "qrc:///icons/settings/checkbox_checked.svg"
    uncheckedSource: "qrc:///icons/settings/checkbox_unchecked.svg"
    fontFamily: Theme.mainFontFamily
    width: parent ? Math.min(implicitWidth, parent.width) : implicitWidth
}
