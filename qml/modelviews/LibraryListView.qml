import QtQuick 2.15
import QtQuick.Controls 2.13

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

    ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn }

    function showDetails(row) {
        if (typeof rootWindow !== "undefined" && rootWindow && rootWindow.openBookDetails)
            rootWindow.openBookDetails(row)
    }

    // Only the presentation on screen holds delegates: a hidden one would rebuild its rows
    // on every search and sort as well. Its scroll position is kept for its return.
    property real keptContentY: 0
    delegate: rowDelegate
    onVisibleChanged: holdDelegates(visible)
    Component.onCompleted: holdDelegates(visible)

    function holdDelegates(shown) {
        if (shown === (delegate !== null))
            return
        if (!shown) {
            keptContentY = contentY - originY + topMargin
            // Without reuse the pool of spare delegates is emptied as well.
            reuseItems = false
            delegate = null
            return
        }
        reuseItems = true
        delegate = rowDelegate
        contentY = originY - topMargin
                + Math.max(0, Math.min(keptContentY, contentHeight + topMargin + bottomMargin - height))
    }

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

            onSelectionToggled: model.selectedForSync = selected
            onDetailsRequested: view.showDetails(rowIndex)
        }
    }
}
