import QtQuick 2.13
import QtQuick.Controls 2.13
import "../theme"

CheckBox {
    id: control
    property url checkedSource: "qrc:///icons/checkbox_checked.svg"
    property url uncheckedSource: "qrc:///icons/checkbox_unchecked.svg"
    property color textColor: "#fff"
    property int fontHeight: 12
    property string fontFamily: Theme.systemFontFamily
    property int boxSize: 18

    padding: 0
    spacing: 8

    indicator: SvgImageHDPI {
        x: control.leftPadding
        anchors.verticalCenter: parent.verticalCenter
        width: control.boxSize
        height: control.boxSize
        source: control.checked ? control.checkedSource : control.uncheckedSource
    }

    contentItem: Text {
        leftPadding: control.indicator.width + control.spacing
        text: control.text
        color: control.textColor
        font.pixelSize: control.fontHeight
        font.family: control.fontFamily
        verticalAlignment: Text.AlignVCenter
        // Given less than its natural width, a long label goes on to a second line.
        wrapMode: Text.WordWrap
    }

    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.NoButton
        cursorShape: Qt.PointingHandCursor
    }

    Accessible.name: text

    FocusRing {
        shown: control.visualFocus
        radius: 4
    }
}
