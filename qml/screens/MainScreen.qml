import QtQuick 2.13
import QtQuick.Layouts 1.13
import "../theme"
import "../custom"
import "../components"

// The library screen: header, tab or selection bar, first-login notice and the library views.
Item {
    id: screen
    objectName: "mainScreen"

    signal settingsClicked()
    signal aboutClicked()

    // The notice follows the first refresh; once a refresh has ended only showFirstLoginInfo()
    // brings it back.
    property bool noticeRequested: false
    property bool noticeByRefreshAllowed: true
    readonly property bool firstLoginInfoVisible: noticeRequested
        || (noticeByRefreshAllowed && app.isFirstLoginInfo && app.remoteAPI.isRefreshing)

    function showFirstLoginInfo() {
        noticeRequested = true
    }

    Connections {
        target: app.remoteAPI
        function onIsRefreshingChanged() {
            if (!app.remoteAPI.isRefreshing) {
                screen.noticeRequested = false
                screen.noticeByRefreshAllowed = false
            }
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        MainHeadPanel {
            id: header
            objectName: "header"
            Layout.fillWidth: true
            Layout.preferredHeight: 48
            onSettingsClicked: screen.settingsClicked()
            onAboutClicked: screen.aboutClicked()
        }

        Rectangle {
            id: libraryArea
            objectName: "libraryArea"
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: screen.firstLoginInfoVisible ? "#373737"
                 : (onlineLibrary.noneSelected ? "#EBEBEB" : "#C6C6C6")

            ColumnLayout {
                anchors.fill: parent
                spacing: 0

                TabPanel {
                    id: tabPanel
                    objectName: "tabPanel"
                    Layout.fillWidth: true
                    Layout.preferredHeight: 45
                    visible: !app.isInSelectionMode
                    onActivateTileView: libraryViews.currentIndex = 0
                    onActivateListView: libraryViews.currentIndex = 1
                }

                SelectionPanel {
                    objectName: "selectionPanel"
                    Layout.fillWidth: true
                    Layout.preferredHeight: 45
                    visible: app.isInSelectionMode
                }

                FirstLoginNotice {
                    objectName: "firstLoginNotice"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    visible: screen.firstLoginInfoVisible
                }

                StackLayout {
                    id: libraryViews
                    objectName: "libraryViews"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    visible: !screen.firstLoginInfoVisible
                    currentIndex: 1

                    Loader {
                        objectName: "tileViewLoader"
                        source: "../modelviews/LibraryTileView.qml"
                        onLoaded: if ("model" in item) item.model = libraryModel
                    }
                    Loader {
                        objectName: "listViewLoader"
                        source: "../modelviews/LibraryListView.qml"
                        onLoaded: if ("model" in item) item.model = libraryModel
                    }
                }
            }
        }
    }
}
