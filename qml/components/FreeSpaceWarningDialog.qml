import QtQuick 2.13
import QtQuick.Controls 2.13
import QtQuick.Layouts 1.13
import "../theme"
import "../custom"

BaseDialog {
    id: dialog
    title: qsTr("Not enough free space")
    width: 480
    height: 160
    defaultButton: tryAgainButton
    cancelButton: cancelButton

    property string requiredSpace: qsTr("more")
    property string availableSpace: qsTr("too little")
    property bool pathUnavailable: false

    signal cancel()
    signal tryAgain()

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        Text {
            objectName: "freeSpaceMessage"
            Layout.fillWidth: true
            Layout.fillHeight: true
            wrapMode: Text.WordWrap
            color: "#000000"
            font.family: Theme.systemFontFamily
            font.pixelSize: 12
            text: dialog.pathUnavailable
                  ? qsTr("Download path is unavailable. Please check settings and try again.")
                  : qsTr("You are trying to update or download %0 worth of space and you only\nhave %1. Please free up space and try again.")
                    .replace("%0", dialog.requiredSpace).replace("%1", dialog.availableSpace)
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        RowLayout {
            spacing: 10
            StyledButton {
                id: tryAgainButton
                objectName: "tryAgainButton"
                Layout.preferredWidth: Math.max(105, implicitWidth)
                Layout.preferredHeight: 32
                radius: 4
                backgroundColor: "#232323"
                text: qsTr("Try Again")
                onClicked: dialog.tryAgain()
            }
            StyledButton {
                id: cancelButton
                objectName: "cancelButton"
                Layout.preferredWidth: Math.max(105, implicitWidth)
                Layout.preferredHeight: 32
                radius: 4
                backgroundColor: "#898989"
                text: qsTr("Cancel")
                onClicked: dialog.cancel()
            }
        }
    }
}
