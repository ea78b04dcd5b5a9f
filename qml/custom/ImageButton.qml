import QtQuick 2.13
import QtQuick.Controls 2.13
import "../theme"

Button {
    id: control
    property url iconSource: ""
    property int iconSize: 16
    property color textColor: "#fff"
    property color backgroundColor: "transparent"

    hoverEnabled: true
    padding: 4
    font.pixelSize: 14
    font.family: Theme.systemFontFamily

    contentItem: Item {
        implicitWidth: row.implicitWidth
        implicitHeight: Math.max(row.implicitHeight, control.iconSize)
        Row {
            id: row
            anchors.centerIn: parent
            spacing: control.text !== "" ? 6 : 0
            SvgImageHDPI {
                anchors.verticalCenter: parent.verticalCenter
                width: control.iconSize
                height: control.iconSize
                source: control.iconSource
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                visible: control.text !== ""
                text: control.text
                color: control.textColor
                font: control.font
            }
        }
    }
    background: Rectangle {
        color: control.backgroundColor
        radius: 4
        opacity: control.down ? 0.8 : 1
    }
    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.NoButton
        cursorShape: Qt.PointingHandCursor
    }

    readonly property bool pressesOnReturn: true
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()
    Accessible.name: text

    FocusRing { shown: control.visualFocus }
}
