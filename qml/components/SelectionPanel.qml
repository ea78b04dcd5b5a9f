import QtQuick 2.13
import "../theme"
import "../custom"

Rectangle {
    color: "#E1E1E1"
    implicitHeight: 45

    Row {
        anchors { left: parent.left; leftMargin: Theme.mainViewSideMargin; verticalCenter: parent.verticalCenter }
        spacing: 8

        StyledButton {
            objectName: "downloadSelectedButton"
            height: 28
            text: qsTr("Download Selected")
            iconSource: "qrc:///icons/download_white.svg"
            backgroundColor: "#1771e0"
            onClicked: app.downloadSelected()
        }

        StyledButton {
            objectName: "selectionToggleButton"
            width: Math.max(85, implicitWidth)
            alternateTexts: [qsTr("Unselect All"), qsTr("Select All")]
            height: 28
            backgroundColor: "#111"
            text: libraryModel.isAllFilteredSelected ? qsTr("Unselect All") : qsTr("Select All")
            onClicked: {
                if (libraryModel.isAllFilteredSelected)
                    onlineLibrary.deselectAll()
                else
                    onlineLibrary.selectAll()
            }
        }

        StyledButton {
            objectName: "cancelSelectionButton"
            // 60 wide, or what the translated text needs.
            width: Math.max(60, implicitContentWidth + 16)
            leftPadding: 8
            rightPadding: 8
            height: 28
            backgroundColor: "#d51c1c"
            text: qsTr("Cancel")
            onClicked: {
                onlineLibrary.deselectAll()
                app.isInSelectionMode = false
            }
        }
    }
}
