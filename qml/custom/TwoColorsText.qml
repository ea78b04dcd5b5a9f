import QtQuick 2.13
import "../theme"

Text {
    id: root
    property string firstText: ""
    property string secondText: ""
    property color secondColor: "#ff7676"
    signal clicked()

    textFormat: Text.StyledText
    text: escape(firstText) + "<font color='" + secondColor + "'>" + escape(secondText) + "</font>"
    color: "#fff"
    font.family: Theme.mainFontFamily
    font.weight: Font.DemiBold
    font.pixelSize: 11

    function escape(s) {
        return String(s).replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;")
    }

    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
        onClicked: root.clicked()
    }
}
