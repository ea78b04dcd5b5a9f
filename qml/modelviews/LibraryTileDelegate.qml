import QtQuick 2.13
import QtQuick.Controls 2.13
import "../theme"
import "../custom"
import "../components"
import "../js/main.js" as Main

// One product as a tile of the library grid: the cover with the title strip and two detail lines.
Item {
    id: tile

    property int rowIndex: -1
    property string title: ""
    property string publisher: ""
    property string ruleSystem: ""
    property string thumbURL: ""
    property string coverURL: ""
    property bool selectedForSync: false
    property QtObject filesModel: null
    property QtObject libraryItem: null

    property bool selectionMode: false
    // True while no product of the library is selected.
    property bool noneSelected: true
    // The view's current tile, and whether the keyboard is in the view to see it.
    property bool keyboardCurrent: false
    property bool keyboardShown: false

    // Return on the current tile.
    function keyOpen() {
        clickTile()
    }

    Accessible.role: Accessible.ListItem
    Accessible.name: title
    Accessible.description: publisher + (ruleSystem !== "" ? ", " + ruleSystem : "")
    Accessible.selectable: true
    Accessible.selected: selectedForSync

    signal selectionToggled(bool selected)
    signal detailsRequested()

    readonly property string tileState: {
        if (!filesModel)
            return "initial"
        if (filesModel.anyFileIsErrored)
            return "error"
        if (filesModel.anyFileIsDownloading)
            return "downloading"
        if (filesModel.anyFileUpdateAvailable)
            return "refresh"
        return "initial"
    }
    readonly property bool pictureDownloaded: filesModel !== null
                                              && (filesModel.anyFilesDownloaded || filesModel.anyFileUpdateAvailable)

    function openOrShowDetails() {
        if (filesModel && filesModel.oneFileDownloaded && !filesModel.anyFileIsErrored)
            libraryItem.openOneFile()
        else
            detailsRequested()
    }

    function clickTile() {
        if (noneSelected)
            openOrShowDetails()
        else
            selectionToggled(!selectedForSync)
    }

    function clickText() {
        if (noneSelected)
            detailsRequested()
        else
            selectionToggled(!selectedForSync)
    }

    function clickAction() {
        if (selectionMode) {
            selectionToggled(!selectedForSync)
            return
        }
        switch (tileState) {
        case "initial":
            libraryItem.downloadAllFiles()
            break
        case "refresh":
            libraryItem.updateAllFiles()
            break
        case "error":
            ToolTip.show(filesModel ? filesModel.lastError : "", 4000)
            break
        default:
            detailsRequested()
        }
    }

    Rectangle {
        id: card
        objectName: "card"
        anchors { fill: parent; margins: 7 }
        radius: 9
        color: "#2e2e2e"
        clip: true

        MouseArea {
            objectName: "tileArea"
            anchors.fill: parent
            cursorShape: Qt.PointingHandCursor
            onClicked: tile.clickTile()
        }

        Item {
            id: picture
            anchors { left: parent.left; right: parent.right; top: parent.top; bottom: strip.top }

            Image {
                id: thumb
                anchors.fill: parent
                fillMode: Image.PreserveAspectCrop
                asynchronous: true
                sourceSize.width: 120
                visible: cover.status !== Image.Ready
                opacity: tile.pictureDownloaded ? 1 : 0
                source: tile.thumbURL !== "" ? "image://title/" + tile.thumbURL : ""
            }

            Image {
                id: cover
                anchors.fill: parent
                fillMode: Image.PreserveAspectCrop
                asynchronous: true
                sourceSize.width: 460
                opacity: tile.pictureDownloaded ? 1 : 0
                source: tile.coverURL !== "" ? "image://title/" + tile.coverURL : ""
            }

            FadedPictureEffect {
                objectName: "fadedPicture"
                anchors.fill: parent
                source: cover.status === Image.Ready ? cover : thumb
                active: !tile.pictureDownloaded
            }
        }

        Rectangle {
            objectName: "tileProgress"
            anchors { left: parent.left; right: parent.right; bottom: strip.top }
            height: 10
            color: "#99000000"
            visible: tile.filesModel !== null && tile.filesModel.anyFileIsDownloading

            Rectangle {
                anchors { left: parent.left; top: parent.top; bottom: parent.bottom }
                width: parent.width * (tile.filesModel ? tile.filesModel.totalDownloadProgress : 0)
                color: Theme.downloadBackground
            }
        }

        Rectangle {
            id: actionButton
            objectName: "actionButton"
            anchors.centerIn: picture
            width: 45
            height: 45
            radius: width / 2
            visible: tile.filesModel !== null
                     && (!tile.filesModel.anyFilesDownloaded || tile.filesModel.anyFileUpdateAvailable)
            color: tile.tileState === "error" ? Theme.deleteRedBackground
                 : tile.tileState === "downloading" ? "#555" : Theme.downloadBackground
            Behavior on color { ColorAnimation { duration: 200 } }

            SvgImageHDPI {
                anchors.centerIn: parent
                width: 20
                height: 20
                rotate: tile.tileState === "downloading"
                source: tile.tileState === "error" ? "qrc:///icons/exclamation-triangle_white.svg"
                      : tile.tileState === "downloading" ? "qrc:///icons/loading_white.svg"
                      : "qrc:///icons/download_white.svg"
            }

            FocusArea {
                id: actionArea
                objectName: "actionArea"
                anchors.fill: parent
                activeFocusOnTab: tile.keyboardCurrent && actionButton.visible
                ring.radius: width / 2 + 3
                Accessible.name: tile.selectionMode ? qsTr("Select %1").arg(tile.title)
                               : tile.tileState === "error" ? qsTr("Show the error of %1").arg(tile.title)
                               : tile.tileState === "downloading" ? qsTr("Details of %1, downloading").arg(tile.title)
                               : tile.tileState === "refresh" ? qsTr("Update %1").arg(tile.title)
                               : qsTr("Download %1").arg(tile.title)
                onActivated: tile.clickAction()
                Keys.onPressed: Main.leaveToView(actionArea, tile.GridView.view, event)
                onActiveFocusChanged: if (!activeFocus) Main.leaveToView(actionArea, tile.GridView.view, null)
            }
        }

        Rectangle {
            id: strip
            anchors { left: parent.left; right: parent.right; bottom: info.top }
            height: 26
            color: "#cf252b"

            Text {
                anchors { fill: parent; leftMargin: 8; rightMargin: 8 }
                verticalAlignment: Text.AlignVCenter
                text: tile.title
                color: "#fff"
                elide: Text.ElideRight
                // A title or name of any length is cut to fit.
                property bool elidesOnPurpose: true
                font.family: Theme.mainFontFamily
                font.weight: Font.DemiBold
                font.pixelSize: 13
                Accessible.role: Accessible.StaticText
                Accessible.name: text

                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: tile.clickText()
                }
            }
        }

        Column {
            id: info
            anchors { left: parent.left; right: parent.right; bottom: parent.bottom
                      leftMargin: 8; rightMargin: 8 }
            topPadding: 5
            bottomPadding: 6
            spacing: 2

            Repeater {
                model: [qsTr("Publisher: "), qsTr("Rule System: ")]
                Item {
                    width: info.width - 16
                    height: label.height

                    Text {
                        id: label
                        text: modelData
                        color: "#fff"
                        font.family: Theme.mainFontFamily
                        font.weight: Font.DemiBold
                        font.pixelSize: 11
                    }
                    Text {
                        anchors { left: label.right; right: parent.right; baseline: label.baseline }
                        text: index === 0 ? tile.publisher : tile.ruleSystem
                        color: "#ff7676"
                        elide: Text.ElideRight
                        // A title or name of any length is cut to fit.
                        property bool elidesOnPurpose: true
                        font: label.font
                        Accessible.role: Accessible.StaticText
                        Accessible.name: label.text + text
                    }

                    MouseArea {
                        anchors.fill: parent
                        cursorShape: Qt.PointingHandCursor
                        onClicked: tile.clickText()
                    }
                }
            }
        }

        Rectangle {
            anchors.fill: parent
            radius: parent.radius
            color: "#333"
            opacity: 0.3
            visible: tile.selectionMode && !tile.selectedForSync
        }
    }

    FocusRing {
        anchors.fill: card
        shown: tile.keyboardShown
        radius: card.radius + 3
    }

    CheckBox {
        objectName: "selectCheck"
        anchors { left: card.left; top: card.top; margins: 2 }
        checked: tile.selectedForSync
        onToggled: tile.selectionToggled(checked)
        // Space on the current tile does this; a tab stop per tile would make the grid endless.
        focusPolicy: Qt.NoFocus
        Accessible.name: qsTr("Select %1").arg(tile.title)
    }
}
