import QtQuick 2.13
import "../theme"
import "../custom"

Rectangle {
    id: bar
    // A message longer than one line takes a second.
    height: Math.max(40, messageRow.height + 16)
    visible: false
    state: "error"
    color: state === "folderScanner" ? "#232323" : "#d51c1c"

    signal openErrorsList()

    property string text: ""
    // How long the scan notice stays after the scan.
    property int scanNoticeDelay: 2500
    readonly property bool hidePending: hideTimer.running

    states: [
        State { name: "error" },
        State { name: "folderScanner"; PropertyChanges { target: bar; text: qsTr("Scanning destination folder.") } }
    ]

    function showError(message) {
        state = "error"
        text = message
        visible = true
    }

    Connections {
        target: downloadManager
        function onDownloadFailedForItem(libraryItem) {
            bar.showError(qsTr("Some of your files failed to download. Click here to view error."))
        }
    }

    Connections {
        target: errorsListModel
        function onErrorAdded(message) { bar.showError(message) }
    }

    Connections {
        target: app
        function onLibraryScanningStarted() {
            // Every scan the controller starts today asks for the notice.
            var withUI = !app.folderScanner || app.folderScanner.withUI === undefined || app.folderScanner.withUI
            // An error not yet seen stays in place: the scan notice would hide the way to it.
            if (withUI && !(bar.visible && bar.state === "error")) {
                bar.state = "folderScanner"
                bar.visible = true
            }
        }
        function onLibraryScanningFinished() {
            if (bar.state === "folderScanner")
                hideTimer.restart()
        }
    }

    Timer {
        id: hideTimer
        interval: bar.scanNoticeDelay
        onTriggered: if (bar.state === "folderScanner") bar.visible = false
    }

    FocusArea {
        objectName: "statusBarArea"
        anchors { left: parent.left; top: parent.top; bottom: parent.bottom; right: parent.right; rightMargin: 30 }
        cursorShape: bar.state === "error" ? Qt.PointingHandCursor : Qt.ArrowCursor
        activeFocusOnTab: bar.visible && bar.state === "error"
        Accessible.name: bar.state === "error" ? qsTr("Show the errors") : bar.text
        onActivated: {
            bar.visible = false
            if (bar.state === "error")
                bar.openErrorsList()
        }
    }

    Row {
        id: messageRow
        anchors { left: parent.left; leftMargin: 10; right: closeIcon.left; rightMargin: 10; verticalCenter: parent.verticalCenter }
        spacing: 10

        SvgImageHDPI {
            anchors.verticalCenter: parent.verticalCenter
            width: 18
            height: 18
            source: "qrc:///icons/exclamation-triangle_white.svg"
        }

        Text {
            objectName: "statusText"
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width - 28
            text: bar.text
            color: "#fff"
            font.family: Theme.mainFontFamily
            font.weight: Font.Medium
            font.pixelSize: 12
            wrapMode: Text.Wrap
            maximumLineCount: 2
            elide: Text.ElideRight
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }

    SvgImageHDPI {
        id: closeIcon
        anchors { right: parent.right; rightMargin: 10; verticalCenter: parent.verticalCenter }
        width: 16
        height: 16
        source: "qrc:///icons/close_white.svg"

        FocusArea {
            objectName: "statusCloseArea"
            anchors.fill: parent
            anchors.margins: -4
            Accessible.name: qsTr("Close the message")
            onActivated: bar.visible = false
        }
    }
}
