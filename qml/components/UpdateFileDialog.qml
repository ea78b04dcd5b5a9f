import QtQuick 2.13
import QtQuick.Controls 2.13
import QtQuick.Layouts 1.13
import "../theme"
import "../custom"

BaseDialog {
    id: dialog
    title: qsTr("Update File")
    width: 380
    height: nameTooLong ? 180 : 160
    // Return keeps the old file beside the new one: a stray key press loses nothing.
    defaultButton: renameButton
    cancelButton: doNotUpdateButton

    property string text: ""
    property alias remember: rememberBox.checked

    signal cancel()
    signal rename()
    signal replace()

    // A long file name widens the question instead of hiding it.
    onTextChanged: {
        metrics.text = text
        // Never wider than the window: beyond that the name is elided.
        var widest = parent ? Math.max(470, parent.width - 40) : Number.MAX_VALUE
        var wanted = Math.max(470, Math.ceil(metrics.advanceWidth) + leftPadding + rightPadding + 2)
        nameTooLong = wanted > widest
        width = Math.min(widest, wanted)
    }

    // Set when the window is too narrow for the whole question.
    property bool nameTooLong: false

    TextMetrics {
        id: metrics
        font: question.font
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        Text {
            id: question
            objectName: "updateQuestion"
            Layout.fillWidth: true
            text: dialog.text
            color: "#000000"
            font.family: Theme.systemFontFamily
            font.pixelSize: 14
            // Too long for the widest dialog, the question takes a second line, broken inside the
            // name where need be; only a name longer still is cut at the end.
            wrapMode: Text.WrapAtWordBoundaryOrAnywhere
            elide: Text.ElideRight
            clip: true
            maximumLineCount: 2
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            property bool elidesOnPurpose: dialog.nameTooLong
        }

        Item { Layout.fillHeight: true }

        CustomCheckbox {
            id: rememberBox
            objectName: "rememberBox"
            text: qsTr("Remember my Choice")
            textColor: "#000000"
            checked: false
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 10

            StyledButton {
                objectName: "overwriteButton"
                Layout.preferredWidth: Math.max(140, implicitWidth)
                Layout.preferredHeight: 32
                backgroundColor: "#232323"
                text: qsTr("Overwrite")
                onClicked: dialog.replace()
            }
            StyledButton {
                id: renameButton
                objectName: "renameButton"
                Layout.preferredWidth: Math.max(140, implicitWidth)
                Layout.preferredHeight: 32
                backgroundColor: "#232323"
                text: qsTr("Rename Old File")
                onClicked: dialog.rename()
            }
            Item { Layout.fillWidth: true }
            StyledButton {
                id: doNotUpdateButton
                objectName: "doNotUpdateButton"
                Layout.preferredHeight: 32
                leftPadding: 0
                rightPadding: 0
                backgroundColor: "transparent"
                backgroundPressedColor: "transparent"
                textColor: Qt.rgba(0.8, 0.1, 0.1, 1)
                text: qsTr("Do not update")
                onClicked: dialog.cancel()
            }
        }
    }
}
