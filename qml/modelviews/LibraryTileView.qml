import QtQuick 2.15
import QtQuick.Controls 2.13
import "../js/main.js" as Main
import "../theme"
import "../custom"

// The library as a grid of tiles. Tiles keep their 230 × 310 shape and grow to share the
// width evenly between the columns that fit.
GridView {
    id: view
    objectName: "libraryTiles"

    readonly property int baseCellWidth: 230
    readonly property int baseCellHeight: 310
    property int columns: 0

    clip: true
    boundsBehavior: Flickable.StopAtBounds
    cacheBuffer: 800
    reuseItems: true
    cellWidth: baseCellWidth
    cellHeight: baseCellHeight

    ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn; Accessible.name: qsTr("Scroll the library") }

    activeFocusOnTab: true
    keyNavigationEnabled: true
    // The keys need a current product to start from; a hidden view's return may have lost it.
    onActiveFocusChanged: if (activeFocus && currentIndex < 0 && count > 0) currentIndex = 0
    onCurrentIndexChanged: if (activeFocus && currentIndex >= 0) positionViewAtIndex(currentIndex, GridView.Contain)
    Keys.onPressed: event.accepted = Main.libraryViewKey(view, event,
                                                         Math.max(1, columns) * Math.max(1, Math.floor(height / cellHeight)))
    Accessible.role: Accessible.List
    Accessible.name: qsTr("Library")

    // A change in the number of columns first falls back to the base size, and the next size
    // change spreads the tiles over the width.
    function fitCells() {
        var n = Math.max(1, Math.floor(width / baseCellWidth))
        if (n !== columns) {
            columns = n
            cellWidth = baseCellWidth
            cellHeight = baseCellHeight
        } else {
            cellWidth = width / n
            cellHeight = cellWidth * baseCellHeight / baseCellWidth
        }
    }
    onWidthChanged: fitCells()
    onHeightChanged: fitCells()

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
    delegate: tileDelegate
    onVisibleChanged: Main.holdDelegates(view, visible, tileDelegate)
    Component.onCompleted: Main.holdDelegates(view, visible, tileDelegate)

    Component {
        id: tileDelegate
        LibraryTileDelegate {
            width: view.cellWidth
            height: view.cellHeight
            rowIndex: index
            title: model.title
            publisher: model.publisher
            ruleSystem: model.ruleSystem
            thumbURL: model.thumbURL
            coverURL: model.coverURL
            // The item announces its selection; the model's role does not follow every change.
            selectedForSync: model.libraryItemObject ? model.libraryItemObject.selectedForSync : false
            filesModel: model.filesModel
            libraryItem: model.libraryItemObject
            selectionMode: app.isInSelectionMode
            noneSelected: onlineLibrary.noneSelected
            keyboardCurrent: GridView.isCurrentItem
            keyboardShown: GridView.isCurrentItem && view.activeFocus

            onSelectionToggled: model.selectedForSync = selected
            onDetailsRequested: view.showDetails(rowIndex)
        }
    }

    StyledButton {
        objectName: "backToTop"
        anchors { right: parent.right; bottom: parent.bottom; rightMargin: 20; bottomMargin: 16 }
        width: Math.max(94, implicitWidth)
        text: qsTr("Back to Top")
        iconSource: "qrc:///icons/arrow_up_white.svg"
        backgroundColor: Theme.mainTextColor
        radius: height / 2
        visible: view.contentY - view.originY > view.cellHeight
        onClicked: view.positionViewAtBeginning()
        // Home does this from the keyboard.
        focusPolicy: Qt.NoFocus
    }
}
