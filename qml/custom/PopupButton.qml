import QtQuick 2.13
import QtQuick.Controls 2.13
import "../theme"

Button {
    id: control
    property bool isDefault: false
    property int fontHeight: 12

    implicitHeight: 30
    hoverEnabled: true
    leftPadding: 12
    rightPadding: 12

    contentItem: Text {
        text: control.text
        color: "#fff"
        font.family: Theme.systemFontFamily
        font.weight: Font.DemiBold
        font.pixelSize: control.fontHeight
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    background: Rectangle {
        implicitWidth: 80
        radius: 2
        color: !control.enabled ? "#333"
             : control.isDefault ? (control.down ? "#AE0112" : "#BF1223")
                                 : (control.down ? "#9B9890" : "#ACA9A1")
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
