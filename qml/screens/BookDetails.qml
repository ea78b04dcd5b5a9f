import QtQuick 2.13
import QtQuick.Controls 2.13
import "../theme"
import "../custom"
import "../modelviews"

// The details of one product: its cover, four facts and its files. The facts are read once
// when bookIndex is set; the files list follows the files model.
Rectangle {
    id: details
    objectName: "bookDetails"

    // Row of the product in the online library, -1 for none.
    property int bookIndex: -1

    property string title: ""
    property string publisher: ""
    property string ruleSystem: ""
    property string downloadedDate: ""
    property string lastModified: ""
    property string thumbURL: ""
    property string coverURL: ""
    property QtObject filesModel: null

    signal goBack()

    color: "#2a2a2a"

    function readBook() {
        var valid = bookIndex >= 0 && bookIndex < onlineLibrary.rowCount()
        function value(role) {
            var v = valid ? onlineLibrary.get(bookIndex, role) : undefined
            return v === undefined || v === null ? "" : v
        }
        title = value("title")
        publisher = value("publisher")
        ruleSystem = value("ruleSystem")
        lastModified = value("lastModified")
        thumbURL = value("thumbURL")
        coverURL = value("coverURL")
        var item = valid ? onlineLibrary.get(bookIndex, "libraryItemObject") : null
        downloadedDate = item && item.downloadedDate !== "" ? value("downloadedDate") : ""
        filesModel = valid ? onlineLibrary.get(bookIndex, "filesModel") : null
    }
    onBookIndexChanged: readBook()
    Component.onCompleted: readBook()

    Keys.onEscapePressed: goBack()
    // The keys start on the screen, so that Tab reaches "Back" first.
    StackView.onActivated: forceActiveFocus()
    // Escape leaves wherever the focus is, even after the file it was on was rebuilt.
    Shortcut {
        sequence: "Escape"
        enabled: details.StackView.status === StackView.Active
        onActivated: details.goBack()
    }
    Keys.onBackPressed: goBack()

    Item {
        id: topBar
        anchors { left: parent.left; right: parent.right; top: parent.top }
        height: 64

        Rectangle {
            id: backButton
            objectName: "backButton"
            anchors { left: parent.left; leftMargin: 16; verticalCenter: parent.verticalCenter }
            width: 32
            height: 32
            radius: 16
            color: backMouse.containsMouse ? "#3a3a3a" : "transparent"

            SvgImageHDPI {
                anchors.centerIn: parent
                width: 22
                height: 22
                source: "qrc:///icons/arrow_left_white.svg"
            }

            FocusArea {
                id: backMouse
                objectName: "backArea"
                anchors.fill: parent
                hoverEnabled: true
                ring.radius: 19
                Accessible.name: qsTr("Back to the library")
                onActivated: details.goBack()
            }
        }

        Text {
            objectName: "titleText"
            anchors { left: backButton.right; leftMargin: 16
                      right: productFolderButton.visible ? productFolderButton.left : parent.right; rightMargin: 16
                      verticalCenter: parent.verticalCenter }
            text: details.title
            color: "#fff"
            elide: Text.ElideRight
            font.family: Theme.systemFontFamily
            font.pixelSize: 16
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }

        // The product's own folder, once a file of it is on the disk.
        Rectangle {
            id: productFolderButton
            objectName: "productFolderButton"
            anchors { right: parent.right; rightMargin: 16; verticalCenter: parent.verticalCenter }
            width: productFolderRow.width + 24
            height: 32
            radius: 16
            visible: details.filesModel !== null && details.filesModel.anyFilesDownloaded
            color: productFolderMouse.containsMouse ? "#3a3a3a" : "transparent"
            border.color: "#5a5a5a"

            Row {
                id: productFolderRow
                anchors.centerIn: parent
                spacing: 8

                SvgImageHDPI {
                    anchors.verticalCenter: parent.verticalCenter
                    width: 18
                    height: 18
                    source: "qrc:///icons/folder_white.svg"
                }

                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: qsTr("Show in folder")
                    color: "#fff"
                    font.family: Theme.systemFontFamily
                    font.pixelSize: 13
                }
            }

            FocusArea {
                id: productFolderMouse
                objectName: "productFolderArea"
                anchors.fill: parent
                hoverEnabled: true
                ring.radius: 19
                Accessible.name: qsTr("Show the book's folder")
                onActivated: details.filesModel.showInFolder()
            }
        }
    }

    Item {
        id: coverBox
        objectName: "coverBox"
        readonly property real aspect: cover.status === Image.Ready && cover.implicitHeight > 0
                                       ? cover.implicitWidth / cover.implicitHeight
                                       : thumb.status === Image.Ready && thumb.implicitHeight > 0
                                         ? thumb.implicitWidth / thumb.implicitHeight : 1 / 1.3125
        readonly property real fullHeight: details.height - topBar.height
        anchors { left: parent.left; top: topBar.bottom }
        height: fullHeight * aspect > details.width / 2 ? details.width / 2 / aspect : fullHeight
        width: height * aspect

        Image {
            id: thumb
            anchors.fill: parent
            fillMode: Image.PreserveAspectFit
            asynchronous: true
            sourceSize.width: 120
            visible: cover.status !== Image.Ready
            source: details.thumbURL !== "" ? "image://title/" + details.thumbURL : ""
        }

        Image {
            id: cover
            anchors.fill: parent
            fillMode: Image.PreserveAspectFit
            asynchronous: true
            sourceSize.height: 1200
            source: details.coverURL !== "" ? "image://title/" + details.coverURL : ""
        }
    }

    Item {
        id: rightPart
        anchors { left: coverBox.right; right: parent.right; top: topBar.bottom; bottom: parent.bottom
                  leftMargin: 24; rightMargin: 10 }

        Grid {
            id: facts
            anchors { left: parent.left; right: parent.right; top: parent.top; topMargin: 8 }
            columns: 2
            columnSpacing: 24
            rowSpacing: 18

            Repeater {
                model: [
                    { label: qsTr("PUBLISHER"), value: details.publisher, name: "publisher" },
                    { label: qsTr("DOWNLOADED"), value: details.downloadedDate, name: "downloaded" },
                    { label: qsTr("RULE SYSTEM"), value: details.ruleSystem, name: "ruleSystem" },
                    { label: qsTr("LAST UPDATED"), value: details.lastModified, name: "lastUpdated" }
                ]

                Column {
                    width: (facts.width - facts.columnSpacing) / 2
                    spacing: 4

                    Text {
                        text: modelData.label
                        color: Theme.labelOnDark
                        font.family: Theme.mainFontFamily
                        font.pixelSize: 10
                    }

                    Text {
                        objectName: modelData.name + "Value"
                        width: parent.width
                        text: modelData.value
                        color: "#fff"
                        elide: Text.ElideRight
                        font.family: Theme.systemFontFamily
                        font.pixelSize: 16
                        Accessible.role: Accessible.StaticText
                        Accessible.name: modelData.label + ": " + text

                        MouseArea {
                            anchors.fill: parent
                            acceptedButtons: Qt.NoButton
                            hoverEnabled: parent.truncated
                            ToolTip.visible: containsMouse
                            ToolTip.delay: 1000
                            ToolTip.text: parent.text
                        }
                    }
                }
            }
        }

        BookFilesListView {
            id: filesList
            objectName: "filesList"
            anchors { left: parent.left; right: parent.right; top: facts.bottom; bottom: parent.bottom
                      topMargin: 24 }
            model: details.filesModel
        }
    }
}
