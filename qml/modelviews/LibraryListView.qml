import QtQuick 2.15
import QtQuick.Controls 2.13
import "../js/main.js" as Main

// The library as a list of rows.
ListView {
    id: view
    objectName: "libraryList"

    clip: true
    boundsBehavior: Flickable.StopAtBounds
    cacheBuffer: 400
    reuseItems: true
    topMargin: 6
    bottomMargin: 6

    ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn; Accessible.name: qsTr("Scroll the library") }

    activeFocusOnTab: true
    keyNavigationEnabled: true
    // The keys need a current product to start from; a hidden view's return may have lost it.
    onActiveFocusChanged: if (activeFocus && currentIndex < 0 && count > 0) currentIndex = 0
    // Only the keys move the view to the current row; a sort or a search that shifts it does not.
    onCurrentIndexChanged: if (activeFocus && currentIndex >= 0) positionViewAtIndex(currentIndex, ListView.Contain)
    Keys.onPressed: event.accepted = Main.libraryViewKey(view, event, Math.max(1, Math.floor(height / 84) - 1))
    Accessible.role: Accessible.List
    Accessible.name: qsTr("Library")

    function showDetails(row) {
        if (typeof rootWindow !== "undefined" && rootWindow && rootWindow.openBookDetails)
            rootWindow.openBookDetails(row)
    }

    // Where the view was scrolled to while it was hidden.
    property real keptContentY: 0
    // Where the view was before the model laid its rows out anew; -1 when not waiting for one.
    property real placeBeforeLayout: -1
    Connections {
        target: view.model
        ignoreUnknownSignals: true
        function onLayoutAboutToBeChanged() { if (view.delegate) Main.notePlace(view) }
        function onLayoutChanged() { Qt.callLater(Main.returnToPlace, view) }
    }
    delegate: rowDelegate
    onVisibleChanged: Main.holdDelegates(view, visible, rowDelegate)
    Component.onCompleted: Main.holdDelegates(view, visible, rowDelegate)

    Component {
        id: rowDelegate
        LibraryRowDelegate {
            width: view.width - 12
            rowIndex: index
            title: model.title
            publisher: model.publisher
            ruleSystem: model.ruleSystem
            thumbURL: model.thumbURL
            // The item announces its selection; the model's role does not follow every change.
            selectedForSync: model.libraryItemObject ? model.libraryItemObject.selectedForSync : false
            filesModel: model.filesModel
            libraryItem: model.libraryItemObject
            selectionMode: app.isInSelectionMode
            keyboardCurrent: ListView.isCurrentItem
            keyboardShown: ListView.isCurrentItem && view.activeFocus

            onSelectionToggled: model.selectedForSync = selected
            onDetailsRequested: view.showDetails(rowIndex)
        }
    }
}
