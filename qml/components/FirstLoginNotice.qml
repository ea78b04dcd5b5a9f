import QtQuick 2.13
import "../theme"
import "../custom"

Item {
    id: notice

    Text {
        id: message
        objectName: "firstLoginText"
        anchors { left: parent.left; right: parent.right; leftMargin: 20; rightMargin: 20 }
        y: Math.round(notice.height / 3)
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
        text: qsTr("Please allow us a moment to update your library to match your Quenlith online library.")
        color: "#fff"
        font.family: Theme.mainFontFamily
        font.weight: Font.DemiBold
        font.pixelSize: 16
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }

    SvgImageHDPI {
        anchors { horizontalCenter: parent.horizontalCenter; top: message.bottom; topMargin: 30 }
        width: 40
        height: 40
        source: "qrc:///icons/loading_blue.svg"
        rotate: notice.visible
    }
}
