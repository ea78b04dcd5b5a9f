import QtQuick 2.13
import LibraryModelData 1.0
import "../theme"
import "../custom"

Item {
    id: entry
    height: 40

    signal activated(int sourceIndex)

    readonly property bool clickable: errorItemIndex >= 0

    readonly property string firstText: {
        switch (errorType) {
        case LibraryErrorType.DownloadError: return qsTr("Files failed to download: ")
        case LibraryErrorType.UpdateFileError: return qsTr("Files failed to update: ")
        case LibraryErrorType.DeleteFileError: return qsTr("Files failed to delete: ")
        case LibraryErrorType.RefreshLibraryError: return qsTr("Error refreshing library. Please check your internet connection.")
        default: return errorText
        }
    }
    readonly property string secondText: {
        switch (errorType) {
        case LibraryErrorType.DownloadError:
        case LibraryErrorType.UpdateFileError:
        case LibraryErrorType.DeleteFileError:
            return errorText
        default:
            return ""
        }
    }

    Row {
        anchors { left: parent.left; leftMargin: 10; right: parent.right; rightMargin: 10; verticalCenter: parent.verticalCenter }

        Text {
            id: first
            objectName: "errorFirstText"
            width: Math.min(implicitWidth, parent.width)
            text: entry.firstText
            color: Theme.mainTextColor
            font.family: Theme.mainFontFamily
            font.pixelSize: 14
            elide: Text.ElideRight
        }
        Text {
            objectName: "errorSecondText"
            width: Math.max(0, parent.width - first.width)
            visible: errorType !== LibraryErrorType.GeneralError
            text: entry.secondText
            color: "#d51c1c"
            font.family: Theme.mainFontFamily
            font.weight: Font.DemiBold
            font.pixelSize: 14
            elide: Text.ElideRight
        }
    }

    Rectangle {
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
        height: 1
        color: "#e9e9e9"
    }

    FocusArea {
        anchors.fill: parent
        enabled: entry.clickable
        cursorShape: entry.clickable ? Qt.PointingHandCursor : Qt.ArrowCursor
        onActivated: entry.activated(errorItemIndex)
        Accessible.name: qsTr("Show %1").arg(entry.secondText !== "" ? entry.secondText : entry.firstText)
    }

    Accessible.role: Accessible.ListItem
    Accessible.name: entry.firstText + entry.secondText
}
