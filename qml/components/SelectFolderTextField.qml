import QtQuick 2.13
import QtQuick.Controls 2.13
import QtQuick.Dialogs 1.2
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

    // The folder a URL from the folder dialog names, as a path of this system.
    function pathFromUrl(url) {
        var path = String(url) + "/"
        if (Qt.platform.os === "windows") {
            if (path.indexOf("file:///") === 0)
                path = path.substring(8)
            else if (path.indexOf("qrc://") === 0)
                path = path.substring(6)
            else if (path.indexOf("http://") === 0)
                path = path.substring(7)
            // What is left after file:// names a network share.
            if (path.indexOf("file://") === 0)
                path = "\\\\" + path.substring(7)
            return decodeURIComponent(path).replace(/\/+/g, "\\")
        }
        if (path.indexOf("file://") === 0)
            path = path.substring(7)
        path = decodeURIComponent(path)
        return path.length > 1 ? path.replace(/\/+$/, "") : path
    }

    function urlFromPath(path) {
        path = path.replace(/\\/g, "/")
        return path.charAt(0) === "/" ? "file://" + path : "file:///" + path
    }

    function chooseFolder() {
        var start = typeof app !== "undefined" && app.lastExistingDir ? app.lastExistingDir(text) : text
        if (Qt.platform.os === "osx" && app.selectFolderDialog) {
            // The QML folder dialog runs as a process of its own there and can hang the program.
            var chosen = app.selectFolderDialog(start)
            if (chosen !== "")
                text = chosen
            return
        }
        folderDialog.folder = urlFromPath(start)
        folderDialog.open()
    }

    FileDialog {
        id: folderDialog
        title: qsTr("Select folder")
        selectFolder: true
        selectExisting: true
        onAccepted: field.text = field.pathFromUrl(fileUrl)
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
