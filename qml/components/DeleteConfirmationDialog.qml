import QtQuick 2.13
import QtQuick.Controls 2.13
import QtQuick.Layouts 1.13
import "../theme"
import "../custom"

BaseDialog {
    id: dialog
    title: qsTr("Delete File?")
    width: 360
    height: 160
    defaultButton: deleteButton
    cancelButton: cancelButton

    onAboutToShow: dontShowBox.checked = !app.settings.showDeleteConfirmation

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        Text {
            Layout.fillWidth: true
            objectName: "deleteQuestion"
            text: app.settings.deletePermanently
                  ? qsTr("Are you sure you want to delete this file for good? It cannot be restored.")
                  : qsTr("Are you sure you want to move this file to the Trash?")
            color: "#000000"
            font.family: Theme.systemFontFamily
            font.pixelSize: 14
            wrapMode: Text.WordWrap
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        CustomCheckbox {
            id: dontShowBox
            objectName: "dontShowBox"
            text: qsTr("Don't show me this warning again")
            textColor: "#000000"
            checked: !app.settings.showDeleteConfirmation
        }

        Item { Layout.fillHeight: true }

        RowLayout {
            spacing: 10
            StyledButton {
                id: deleteButton
                objectName: "deleteButton"
                Layout.preferredWidth: Math.max(86, implicitWidth)
                Layout.preferredHeight: 34
                backgroundColor: "#d51c1c"
                text: qsTr("DELETE")
                focus: true
                onClicked: {
                    app.settings.showDeleteConfirmation = !dontShowBox.checked
                    dialog.accept()
                }
            }
            StyledButton {
                id: cancelButton
                objectName: "cancelButton"
                Layout.preferredWidth: Math.max(86, implicitWidth)
                Layout.preferredHeight: 34
                backgroundColor: "#898989"
                text: qsTr("Cancel")
                onClicked: dialog.reject()
            }
        }
    }
}
