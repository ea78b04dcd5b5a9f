import QtQuick 2.13
import QtQuick.Controls 2.13
import LibraryModelData 1.0
import "../theme"
import "../custom"

// One file of a product: a card that opens the file, and a round button whose action
// follows the file's status.
Item {
    id: fileRow

    property string serverFileName: ""
    property int fileStatus: LibraryFile.Remote
    property real downloadProgress: 0
    property QtObject fileObject: null

    readonly property bool canOpen: fileStatus === LibraryFile.Downloaded || fileStatus === LibraryFile.Local
                                    || fileStatus === LibraryFile.UpdateAvailable
    readonly property bool busy: fileStatus === LibraryFile.Downloading || fileStatus === LibraryFile.Queued
    // Speed and time left while the file transfers, e.g. "1.5 MB/s, 2 min left".
    readonly property string transferText: fileObject && fileStatus === LibraryFile.Downloading
                                           ? fileObject.transferText : ""
    readonly property string toolTipText: {
        if (!fileObject)
            return ""
        if (fileStatus === LibraryFile.DownloadError)
            return fileObject.errorMessage
        return transferText
    }
    // "delete", "download", "refresh", "cancel" or "retry"
    readonly property string action: {
        switch (fileStatus) {
        case LibraryFile.Downloaded:
        case LibraryFile.Local:
            return "delete"
        case LibraryFile.UpdateAvailable:
            return "refresh"
        case LibraryFile.Downloading:
        case LibraryFile.Queued:
        case LibraryFile.DownloadPaused:
            return "cancel"
        case LibraryFile.DownloadError:
            return "retry"
        default:
            return "download"
        }
    }

    implicitHeight: 72

    // Tabbing through a long list of files scrolls to the focused one.
    function keepInView() {
        if (ListView.view)
            ListView.view.positionViewAtIndex(index, ListView.Contain)
    }

    readonly property string statusText: {
        switch (fileStatus) {
        case LibraryFile.Downloaded:
        case LibraryFile.Local:
            return qsTr("Downloaded")
        case LibraryFile.UpdateAvailable:
            return qsTr("Update available")
        case LibraryFile.Downloading:
            return qsTr("Downloading, %1 %").arg(Math.round(downloadProgress * 100))
                   + (transferText !== "" ? ", " + transferText : "")
        case LibraryFile.Queued:
            return qsTr("Waiting to download")
        case LibraryFile.DownloadPaused:
            return qsTr("Paused")
        case LibraryFile.DownloadError:
            return qsTr("Failed: %1").arg(fileObject ? fileObject.errorMessage : "")
        default:
            return qsTr("Not downloaded")
        }
    }
    readonly property string actionName: {
        switch (action) {
        case "delete":
            return qsTr("Delete %1").arg(serverFileName)
        case "refresh":
            return qsTr("Update %1").arg(serverFileName)
        case "cancel":
            return qsTr("Cancel the download of %1").arg(serverFileName)
        case "retry":
            return qsTr("Retry %1").arg(serverFileName)
        default:
            return qsTr("Download %1").arg(serverFileName)
        }
    }

    Accessible.role: Accessible.ListItem
    Accessible.name: serverFileName
    Accessible.description: statusText

    function runAction() {
        switch (action) {
        case "delete":
            fileObject.askAndDeleteFile()
            break
        case "refresh":
            fileObject.updateDownload()
            break
        case "cancel":
            fileObject.cancelDownload()
            break
        default:
            fileObject.startDownload()
        }
    }

    Rectangle {
        id: card
        objectName: "card"
        anchors { left: parent.left; right: folderButton.visible ? folderButton.left : actionButton.left
                  rightMargin: 12; verticalCenter: parent.verticalCenter }
        height: 52
        radius: 6
        color: fileRow.canOpen || fileRow.busy ? "#ebebeb" : "#919191"
        clip: true

        Rectangle {
            objectName: "progressFill"
            anchors { left: parent.left; top: parent.top; bottom: parent.bottom }
            radius: parent.radius
            width: parent.width * Math.max(0, Math.min(1, fileRow.downloadProgress))
            color: "#1771e0"
            // A file with an update keeps the progress of its finished download: no fill then.
            visible: fileRow.action === "cancel"
                     || ((fileRow.action === "download" || fileRow.action === "refresh") && fileRow.downloadProgress < 1)
        }

        SvgImageHDPI {
            id: eye
            anchors { left: parent.left; leftMargin: 16; verticalCenter: parent.verticalCenter }
            width: 20
            height: 20
            rotate: fileRow.busy
            source: fileRow.busy ? "qrc:///icons/loading_black.svg"
                  : fileRow.canOpen ? "qrc:///icons/eye_black.svg" : "qrc:///icons/eye_slash_black.svg"
        }

        Text {
            id: transferLabel
            objectName: "transferLabel"
            anchors { right: parent.right; rightMargin: 14; verticalCenter: parent.verticalCenter }
            text: fileRow.transferText
            visible: text !== ""
            color: Theme.mainTextColor
            font.family: Theme.systemFontFamily
            font.pixelSize: 12
        }

        // The file's status, read out where the picture alone tells it.
        Item {
            objectName: "fileStatus"
            anchors.fill: parent
            Accessible.role: Accessible.StaticText
            Accessible.name: fileRow.statusText
        }

        Text {
            anchors { left: eye.right; leftMargin: 14; right: transferLabel.visible ? transferLabel.left : parent.right
                      rightMargin: 14; verticalCenter: parent.verticalCenter }
            text: fileRow.serverFileName
            elide: Text.ElideMiddle
            // A title or name of any length is cut to fit.
            property bool elidesOnPurpose: true
            color: Theme.mainTextColor
            font.family: Theme.systemFontFamily
            font.pixelSize: 14
        }

        FocusArea {
            id: cardMouse
            objectName: "openArea"
            anchors.fill: parent
            activeFocusOnTab: fileRow.canOpen
            ring.inset: 1
            Accessible.name: qsTr("Open %1").arg(fileRow.serverFileName)
            Accessible.ignored: !fileRow.canOpen
            onActiveFocusChanged: if (activeFocus) fileRow.keepInView()
            hoverEnabled: fileRow.toolTipText !== ""
            cursorShape: fileRow.canOpen ? Qt.PointingHandCursor : Qt.ArrowCursor
            onActivated: {
                if (fileRow.canOpen)
                    fileRow.fileObject.openInDefaultViewer()
            }
            ToolTip.visible: containsMouse && fileRow.toolTipText !== ""
            ToolTip.delay: 500
            ToolTip.text: fileRow.toolTipText
        }
    }

    Rectangle {
        id: folderButton
        objectName: "folderButton"
        anchors { right: actionButton.left; rightMargin: 12; verticalCenter: parent.verticalCenter }
        width: 44
        height: 44
        radius: width / 2
        visible: fileRow.canOpen
        color: folderMouse.pressed ? Qt.darker(Theme.downloadBackground, 1.2) : Theme.downloadBackground

        SvgImageHDPI {
            anchors.centerIn: parent
            width: 20
            height: 20
            source: "qrc:///icons/folder_white.svg"
        }

        FocusArea {
            id: folderMouse
            objectName: "folderArea"
            anchors.fill: parent
            hoverEnabled: true
            ring.radius: width / 2 + 3
            Accessible.name: qsTr("Show %1 in its folder").arg(fileRow.serverFileName)
            onActiveFocusChanged: if (activeFocus) fileRow.keepInView()
            onActivated: fileRow.fileObject.showInFolder()
            ToolTip.visible: containsMouse
            ToolTip.delay: 500
            ToolTip.text: qsTr("Show in folder")
        }
    }

    Rectangle {
        id: actionButton
        objectName: "actionButton"
        anchors { right: parent.right; verticalCenter: parent.verticalCenter }
        width: 44
        height: 44
        radius: width / 2
        color: {
            var base = fileRow.action === "delete" || fileRow.action === "cancel" ? Theme.deleteRedBackground
                     : fileRow.action === "retry" ? "#fff" : Theme.downloadBackground
            return actionMouse.pressed ? Qt.darker(base, 1.2) : base
        }
        Behavior on color { ColorAnimation { duration: 200 } }

        SvgImageHDPI {
            anchors.centerIn: parent
            width: 20
            height: 20
            source: {
                switch (fileRow.action) {
                case "delete":
                    return "qrc:///icons/trash_white.svg"
                case "cancel":
                    return "qrc:///icons/close_white.svg"
                case "retry":
                    return "qrc:///icons/redo_blue.svg"
                default:
                    return "qrc:///icons/download_white.svg"
                }
            }
        }

        FocusArea {
            id: actionMouse
            objectName: "actionArea"
            anchors.fill: parent
            ring.radius: width / 2 + 3
            Accessible.name: fileRow.actionName
            onActiveFocusChanged: if (activeFocus) fileRow.keepInView()
            onActivated: fileRow.runAction()
        }
    }
}
