import QtQuick 2.13
import QtQuick.Controls 2.13
import "../theme"
import "../custom"

// The offer of a newer version of the program. The updater opens and closes it by name and
// listens to its three signals; while the installer downloads it shows the progress instead.
BaseDialog {
    id: dialog
    objectName: "updateAppDialog"

    readonly property bool downloading: !!app.updater && app.updater.downloading === true
    readonly property int progress: app.updater && app.updater.progress !== undefined ? app.updater.progress : 0
    // A failed download keeps the dialog in its downloading stage, with the reason and Cancel.
    readonly property string downloadError: app.updater && app.updater.downloadError ? app.updater.downloadError : ""
    // Without self-update the offer leads to the download page.
    readonly property bool selfUpdate: !app.updater || app.updater.selfUpdate !== false

    signal yes()
    signal no()
    signal cancel()

    parent: Overlay.overlay
    title: qsTr("Update Available!")
    width: 470
    height: 160
    modal: true
    focus: true

    onRejected: cancel()

    Text {
        objectName: "message"
        anchors { left: parent.left; right: parent.right; top: parent.top; topMargin: 4 }
        text: dialog.downloading
              ? (dialog.downloadError !== "" ? dialog.downloadError : qsTr("Downloading Update. Please wait..."))
              : dialog.selfUpdate
                ? qsTr("There is new version of this app available. Would you like to\nupdate app right now?")
                : qsTr("There is new version of this app available on its download page.")
        color: "#000"
        wrapMode: Text.WordWrap
        font.family: Theme.systemFontFamily
        font.pixelSize: 14
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }

    ProgressBar {
        id: progressBar
        objectName: "progressBar"
        x: 0
        y: dialog.availableHeight / 2 - 20 - height / 2
        width: dialog.width - 28
        height: 6
        from: 0
        to: 100
        value: dialog.progress
        visible: dialog.downloading && dialog.downloadError === ""

        background: Rectangle {
            implicitHeight: 6
            radius: 3
            color: "#E0E0E0"
        }
        contentItem: Item {
            Rectangle {
                width: progressBar.visualPosition * parent.width
                height: parent.height
                radius: 3
                color: "#1771E0"
            }
        }
    }

    Row {
        anchors { left: parent.left; bottom: parent.bottom }
        spacing: 5

        Repeater {
            model: dialog.downloading
                   ? [{ name: "cancelButton", text: qsTr("Cancel"), color: "#232323", action: "cancel" }]
                   : [{ name: "updateNowButton", text: dialog.selfUpdate ? qsTr("Update Now") : qsTr("Open Page"),
                        color: "#232323", action: "yes" },
                      { name: "laterButton", text: qsTr("Later"), color: "#898989", action: "no" }]

            StyledButton {
                objectName: modelData.name
                width: Math.max(100, implicitWidth)
                height: 32
                text: modelData.text
                backgroundColor: modelData.color
                fontHeight: 13
                fontFamily: Theme.mainFontFamily
                fontWeiht: Font.Medium
                onClicked: dialog[modelData.action]()
                // The first button answers Return: "Update Now", or "Cancel" while downloading.
                Component.onCompleted: if (index === 0) dialog.defaultButton = this
            }
        }
    }
}
