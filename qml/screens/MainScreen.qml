import QtQuick 2.13
import QtQuick.Layouts 1.13
import QtQuick.Controls 2.13
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

    // The library's own keys; a dialog that is open blocks them.
    readonly property bool keysActive: StackView.status === StackView.Active || StackView.view === null
    Shortcut {
        sequence: "Ctrl+F"
        enabled: screen.keysActive && tabPanel.visible
        onActivated: tabPanel.focusSearch()
    }
    Shortcut {
        sequence: "F5"
        enabled: screen.keysActive && !app.remoteAPI.isRefreshing && !app.isSyncing
        onActivated: app.remoteAPI.refreshLibrary()
    }
    Shortcut {
        sequence: "Ctrl+A"
        // Selection mode hides the search field, so no text loses its own Ctrl+A.
        enabled: screen.keysActive && app.isInSelectionMode
        onActivated: onlineLibrary.selectAll()
    }
    Keys.onEscapePressed: {
        if (tabPanel.searchText !== "")
            tabPanel.clearSearch()
        else
            event.accepted = false
    }
    // Opened or come back to, the screen takes the keys at the list.
    function focusLibrary() {
        var loader = libraryViews.children[libraryViews.currentIndex]
        if (loader && loader.item)
            loader.item.forceActiveFocus()
    }
    StackView.onActivated: focusLibrary()

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
                    Layout.preferredHeight: implicitHeight
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
