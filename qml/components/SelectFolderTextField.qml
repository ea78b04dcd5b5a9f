import QtQuick 2.13
import QtQuick.Controls 2.13
import "../theme"
import "../custom"

// A folder path that can be typed or picked with the "..." button. A typed path is taken as it is.
TextField {
    id: field

    property color backgroundColor: Theme.settingsControlsBackground

    implicitHeight: 30
    leftPadding: 10
    rightPadding: 25 + dots.width
    topPadding: 0
    bottomPadding: 0
    verticalAlignment: TextInput.AlignVCenter
    selectByMouse: true
    color: "#fff"
    selectionColor: Theme.downloadBackground
    font.pixelSize: 12
    font.family: Qt.platform.os === "windows" ? "Areal" : Theme.mainFontFamily

    background: Rectangle {
        radius: 8
        color: field.backgroundColor
        border.color: field.activeFocus ? "#5a5a5a" : "transparent"
    }

    FocusRing {
        shown: field.activeFocus && (field.focusReason === Qt.TabFocusReason
                                     || field.focusReason === Qt.BacktabFocusReason
                                     || field.focusReason === Qt.ShortcutFocusReason)
        radius: 11
    }

    function chooseFolder() {
        // The program's own chooser starts in the folder of the field; the Quick dialog opened
        // in the working directory instead.
        var start = app.lastExistingDir(text)
        var chosen = app.selectFolderDialog(start)
        if (chosen !== "")
            text = chosen
    }

    Text {
        id: dots
        objectName: "chooseFolderButton"
        anchors { right: parent.right; rightMargin: 10; verticalCenter: parent.verticalCenter
                  verticalCenterOffset: -4 }
        text: "..."
        color: "#fff"
        font.family: Theme.mainFontFamily
        font.weight: Font.Bold
        font.pixelSize: 20

        FocusArea {
            objectName: "chooseFolderArea"
            anchors { fill: parent; margins: -4 }
            Accessible.name: qsTr("Choose the folder")
            onActivated: field.chooseFolder()
        }
    }
}
