import QtQuick 2.13
import QtQuick.Controls 2.13
import "../theme"

PopupButton {
    id: control
    property url iconSource: ""
    property int iconSize: 14

    contentItem: Item {
        implicitWidth: row.implicitWidth
        implicitHeight: row.implicitHeight
        Row {
            id: row
            anchors.centerIn: parent
            spacing: 6
            SvgImageHDPI {
                anchors.verticalCenter: parent.verticalCenter
                width: control.iconSize
                height: control.iconSize
                source: control.iconSource
                visible: control.iconSource != ""
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: control.text
                color: "#fff"
                font.family: Theme.systemFontFamily
                font.weight: Font.DemiBold
                font.pixelSize: control.fontHeight
            }
        }
    }
}
