import QtQuick 2.13
import QtQuick.Controls 2.13
import "../theme"
import "../components"
import "../custom"
import "../js/main.js" as Main

// One product as a row of the library list. Everything it shows comes from its own roles and
// its files model, so a row costs the same in a library of ten products or of twenty thousand.
Item {
    id: row

    // Roles of the row, given by the view.
    property int rowIndex: -1
    property string title: ""
    property string publisher: ""
    property string ruleSystem: ""
    property string thumbURL: ""
    property bool selectedForSync: false
    property QtObject filesModel: null
    property QtObject libraryItem: null

    property bool selectionMode: false
    // The view's current row, and whether the keyboard is in the view to see it.
    property bool keyboardCurrent: false
    property bool keyboardShown: false

    signal selectionToggled(bool selected)
    signal detailsRequested()

    readonly property string rowState: {
        if (!filesModel)
            return "initial"
        if (filesModel.anyFileIsErrored)
            return "error"
        if (filesModel.anyFileIsDownloading)
            return "downloading"
        if (filesModel.anyFileUpdateAvailable)
            return "refresh"
        if (filesModel.anyFilesDownloaded)
            return "downloaded"
        return "initial"
    }
    readonly property bool pictureDownloaded: filesModel !== null
                                              && (filesModel.anyFilesDownloaded || filesModel.anyFileUpdateAvailable)

    implicitHeight: 84

    function openOrShowDetails() {
        if (filesModel && filesModel.oneFileDownloaded && !filesModel.anyFileIsErrored)
            libraryItem.openOneFile()
        else
            detailsRequested()
    }

    // Return on the current row.
    function keyOpen() {
        clickRow()
    }

    readonly property string actionName: {
        switch (rowState) {
        case "initial":
            return qsTr("Download %1").arg(title)
        case "refresh":
            return qsTr("Update %1").arg(title)
        case "error":
            return qsTr("Show the error of %1").arg(title)
        case "downloading":
            return qsTr("Details of %1, downloading").arg(title)
        default:
            return qsTr("Details of %1").arg(title)
        }
    }

    Accessible.role: Accessible.ListItem
    Accessible.name: title
    Accessible.description: publisher + (ruleSystem !== "" ? ", " + ruleSystem : "")
    Accessible.selectable: true
    Accessible.selected: selectedForSync

    function clickRow() {
        if (selectionMode)
            selectionToggled(!selectedForSync)
        else
            openOrShowDetails()
    }

    function clickAction(modifiers) {
        if (modifiers & Qt.ControlModifier) {
            detailsRequested()
            return
        }
        switch (rowState) {
        case "initial":
            libraryItem.downloadAllFiles()
            break
        case "refresh":
            libraryItem.updateAllFiles()
            break
        case "error":
            actionButton.showError()
            break
        default:
            detailsRequested()
        }
    }

    Rectangle {
        id: shadow
        anchors { fill: card; topMargin: 2; leftMargin: 1; rightMargin: -1; bottomMargin: -2 }
        radius: card.radius
        color: row.selectedForSync ? "#55000000" : "#1f000000"
    }

    Rectangle {
        id: card
        objectName: "card"
        anchors { fill: parent; leftMargin: Theme.mainViewSideMargin; rightMargin: Theme.mainViewSideMargin
                  topMargin: 4; bottomMargin: 4 }
        radius: 6
        color: "#fff"

        MouseArea {
            objectName: "rowArea"
            anchors.fill: parent
            cursorShape: Qt.PointingHandCursor
            onClicked: row.clickRow()
            // Speed and time left of the product's transfers.
            hoverEnabled: row.rowState === "downloading"
            ToolTip.visible: containsMouse && ToolTip.text !== ""
            ToolTip.delay: 500
            ToolTip.text: row.rowState === "downloading" ? row.filesModel.transferText : ""
        }

        CheckBox {
            id: check
            objectName: "selectCheck"
            anchors { left: parent.left; leftMargin: 4; verticalCenter: parent.verticalCenter }
            checked: row.selectedForSync
            onToggled: row.selectionToggled(checked)
            // Space on the current row does this; a tab stop per row would make the list endless.
            focusPolicy: Qt.NoFocus
            Accessible.name: qsTr("Select %1").arg(row.title)
        }

        Item {
            id: thumbBox
            anchors { left: check.right; top: parent.top; bottom: parent.bottom; topMargin: 10; bottomMargin: 10 }
            width: height / 1.3125

            Image {
                id: thumb
                anchors.centerIn: parent
                width: Math.min(parent.width, implicitWidth > 0 ? parent.height * implicitWidth / implicitHeight
                                                               : parent.width)
                height: parent.height
                fillMode: Image.PreserveAspectFit
                asynchronous: true
                cache: true
                sourceSize: Qt.size(thumbBox.width * 2, thumbBox.height * 2)
                opacity: row.pictureDownloaded ? 1 : 0
                source: row.thumbURL !== "" ? "image://title/" + row.thumbURL : ""
            }

            FadedPictureEffect {
                objectName: "fadedPicture"
                anchors.fill: thumb
                source: thumb
                active: !row.pictureDownloaded
            }
        }

        Column {
            anchors { left: thumbBox.right; leftMargin: 14; right: actionButton.left; rightMargin: 10
                      verticalCenter: parent.verticalCenter }
            spacing: 4

            Repeater {
                model: 3
                Text {
                    width: parent.width
                    text: index === 0 ? row.title : index === 1 ? row.publisher : row.ruleSystem
                    color: index === 0 ? Theme.mainTextColor : "#6a6a6a"
                    font.family: Theme.systemFontFamily
                    font.pixelSize: index === 0 ? 14 : 12
                    elide: Text.ElideRight
                    maximumLineCount: 1
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text

                    MouseArea {
                        anchors.fill: parent
                        acceptedButtons: Qt.NoButton
                        hoverEnabled: parent.truncated
                        ToolTip.visible: containsMouse
                        ToolTip.delay: 1000
                        ToolTip.timeout: 5000
                        ToolTip.text: parent.text
                    }
                }
            }
        }

        RowDelegateActionButton {
            id: actionButton
            objectName: "actionButton"
            anchors { right: parent.right; verticalCenter: parent.verticalCenter }
            width: 90
            rowState: row.rowState
            progress: row.filesModel && row.rowState === "downloading" ? row.filesModel.totalDownloadProgress : 0
            errorText: row.filesModel ? row.filesModel.lastError : ""
            onActivated: row.clickAction(modifiers)
            name: row.actionName
            activeFocusOnTab: row.keyboardCurrent
            Keys.onPressed: Main.leaveToView(actionButton, row.ListView.view, event)
            onActiveFocusChanged: if (!activeFocus) Main.leaveToView(actionButton, row.ListView.view, null)
        }

        Rectangle {
            anchors.fill: parent
            radius: parent.radius
            color: "#333"
            opacity: 0.2
            visible: row.selectionMode && !row.selectedForSync
        }

        FocusRing {
            shown: row.keyboardShown
            inset: -2
            radius: card.radius + 2
        }
    }
}
