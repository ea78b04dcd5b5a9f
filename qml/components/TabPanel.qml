import QtQuick 2.13
import LibraryFilterType 1.0
import "../theme"
import "../custom"

Rectangle {
    id: panel
    color: "#E1E1E1"

    signal activateTileView()
    signal activateListView()

    property int selectedIndex: 0
    // "Has Updates" calls for attention until it is clicked after it last appeared.
    property bool updatesClickedSinceShown: false
    readonly property bool updatesAvailable: onlineLibrary.anyItemUpdateAvailable

    readonly property var filters: [
        { name: "filterAll", text: qsTr("All"), width: 50, filter: LibraryFilter.ALL },
        { name: "filterDownloaded", text: qsTr("Downloaded"), width: 88, filter: LibraryFilter.DOWNLOADED },
        { name: "filterNotDownloaded", text: qsTr("Not Downloaded"), width: 112, filter: LibraryFilter.NOT_DOWNLOADED },
        { name: "filterHasUpdates", text: qsTr("Has Updates"), width: 90, filter: LibraryFilter.UPDATE_AVAILABLE }
    ]
    readonly property var sortEntries: [
        { text: qsTr("New to Old"), role: "purchasedNewest" },
        { text: qsTr("Old to New"), role: "purchasedOldest" },
        { text: qsTr("Title A-Z"), role: "titleAZ" },
        { text: qsTr("Title Z-A"), role: "titleZA" },
        { text: qsTr("Publisher A-Z"), role: "publisherAZ" },
        { text: qsTr("Publisher Z-A"), role: "publisherZA" },
        { text: qsTr("Rule System A-Z"), role: "ruleSystemAZ" },
        { text: qsTr("Rule System Z-A"), role: "ruleSystemZA" }
    ]

    function focusSearch() {
        if (searchField.item)
            searchField.item.forceActiveFocus(Qt.ShortcutFocusReason)
    }

    readonly property string searchText: searchField.item ? searchField.item.text : ""
    function clearSearch() {
        if (searchField.item)
            searchField.item.text = ""
    }

    function selectFilter(index) {
        selectedIndex = index
        if (index === 3)
            updatesClickedSinceShown = true
        libraryModel.filter = filters[index].filter
    }

    function filterState(index) {
        if (index === selectedIndex)
            return "selected"
        if (index === 3 && !updatesClickedSinceShown)
            return "blueglow"
        return "notselected"
    }

    onUpdatesAvailableChanged: if (updatesAvailable) updatesClickedSinceShown = false

    Connections {
        target: downloadManager
        // Once the last update is fetched the "Has Updates" list is empty: go back to everything.
        function onDownloadsRemainChanged() {
            if (panel.selectedIndex === 3 && !onlineLibrary.anyItemUpdateAvailable && libraryModel.size() === 0) {
                onlineLibrary.deselectAll()
                app.isInSelectionMode = false
                panel.selectFilter(0)
            }
        }
    }

    // When the row runs short, first the search field gives way, down to what its placeholder
    // needs, then the sort box, down to what its current entry needs. When even that does not
    // fit, the buttons, the sort box and the search field move to a second row below the filters.
    // The filters and the buttons always show their texts whole.
    readonly property real rowHeight: 45
    readonly property real buttonsLeast: viewToggle.width + selectAllButton.width + sortBox.leastWidth + searchLeast + 3 * 8
    readonly property bool twoRows: width > 0
                                    && 2 * Theme.mainViewSideMargin + filterRow.width + 16 + buttonsLeast > width
    readonly property real sharedRoom: width - 2 * Theme.mainViewSideMargin - (twoRows ? 0 : filterRow.width + 16)
                                       - viewToggle.width - selectAllButton.width - 3 * 8
    readonly property real searchLeast: searchField.item ? searchField.item.leastWidth : 80
    implicitHeight: twoRows ? 2 * rowHeight - 8 : rowHeight

    Row {
        id: filterRow
        anchors { left: parent.left; leftMargin: Theme.mainViewSideMargin }
        y: (panel.rowHeight - height) / 2
        spacing: 5

        Repeater {
            model: panel.filters.length
            ToggleButton {
                objectName: panel.filters[index].name
                // The design width, or what a longer translation needs; not the background's
                // least width, which is more than the design gives "All".
                width: Math.max(panel.filters[index].width, fullWidth)
                height: 30
                leftPadding: 4
                rightPadding: 4
                text: panel.filters[index].text
                visible: index !== 3 || panel.updatesAvailable
                state: panel.filterState(index)
                onClicked: panel.selectFilter(index)
                Accessible.checkable: true
                Accessible.checked: index === panel.selectedIndex
                Accessible.description: qsTr("Show these products")
            }
        }
    }

    Row {
        anchors { right: parent.right; rightMargin: Theme.mainViewSideMargin }
        y: (panel.rowHeight - height) / 2 + (panel.twoRows ? panel.rowHeight - 8 : 0)
        spacing: 8

        ListTileToggle {
            id: viewToggle
            objectName: "viewToggle"
            width: 60
            height: 28
            leftActive: false
            leftName: qsTr("Show as tiles")
            rightName: qsTr("Show as a list")
            onLeftClicked: panel.activateTileView()
            onRightClicked: panel.activateListView()
        }

        StyledButton {
            id: selectAllButton
            objectName: "selectAllButton"
            width: Math.max(80, implicitWidth)
            height: 28
            radius: height / 2
            backgroundColor: "#111"
            text: qsTr("Select all")
            onClicked: onlineLibrary.selectAll()
        }

        RoundedComboBox {
            id: sortBox
            objectName: "sortBox"
            readonly property real leastWidth: Math.max(120, contentItem.implicitWidth + leftPadding + rightPadding)
            width: Math.max(leastWidth, Math.min(implicitWidth, panel.sharedRoom - panel.searchLeast))
            height: 28
            radius: height / 2
            textRole: "text"
            model: panel.sortEntries
            // The sort role announces no change: read it once.
            Component.onCompleted: {
                for (var i = 0; i < panel.sortEntries.length; ++i) {
                    if (panel.sortEntries[i].role === String(libraryModel.sortRole))
                        currentIndex = i
                }
            }
            onActivated: libraryModel.sortRole = panel.sortEntries[index].role
            Accessible.name: qsTr("Sort by")
        }

        Loader {
            id: searchField
            objectName: "searchFieldLoader"
            width: Math.max(panel.searchLeast, Math.min(120, panel.sharedRoom - sortBox.width))
            height: 28
            source: "SearchTextField.qml"
        }

        Connections {
            target: searchField.item
            ignoreUnknownSignals: true
            function onTextChanged() { libraryModel.filterString = searchField.item.text }
        }
    }
}
