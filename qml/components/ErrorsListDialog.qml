import QtQuick 2.13
import QtQuick.Controls 2.13
import QtGraphicalEffects 1.0
import "../theme"
import "../custom"

BaseDialog {
    id: dialog
    title: qsTr("Error(s)")
    width: 480
    height: 360
    padding: 0
    topPadding: 0
    bottomPadding: 0
    leftPadding: 0
    rightPadding: 0
    titleLeftMargin: 14

    signal openDetails(int sourceIndex)

    headerDecoration: Component {
        Rectangle {
            // The red block behind the title, rounded on the left only.
            width: 85
            height: 40
            color: "#d51c1c"
            radius: dialog.radius
            Rectangle {
                anchors { right: parent.right; top: parent.top; bottom: parent.bottom }
                width: dialog.radius
                color: parent.color
            }
        }
    }

    Item {
        id: body
        anchors.fill: parent

        ListView {
            id: list
            objectName: "errorsList"
            anchors { left: parent.left; right: parent.right; top: parent.top; bottom: footer.top }
            model: errorsListModel
            boundsBehavior: Flickable.StopAtBounds
            clip: true
            ScrollIndicator.vertical: ScrollIndicator {}
            delegate: ErrorsListDelegate {
                width: list.width
                onActivated: {
                    dialog.reject()
                    dialog.openDetails(sourceIndex)
                }
            }
            layer.enabled: true
            layer.effect: OpacityMask { maskSource: mask }
        }

        // Files that failed or were found damaged are marked for download; one click fetches
        // them, with the rest of the library, without a trip back to the header.
        Item {
            id: footer
            anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
            height: downloadAllButton.visible ? 52 : 0

            StyledButton {
                id: downloadAllButton
                objectName: "errorsDownloadAllButton"
                anchors { right: parent.right; rightMargin: 14; verticalCenter: parent.verticalCenter }
                width: Math.max(120, implicitWidth)
                height: 32
                visible: errorsListModel.hasFileFailures && !app.isSyncing
                text: qsTr("Download all")
                onClicked: {
                    dialog.reject()
                    app.syncAction.trigger()
                }
            }
        }

        Rectangle {
            id: mask
            width: list.width
            height: list.height
            radius: dialog.radius
            visible: false
            Rectangle {
                // Only the bottom corners are rounded: the title bar sits above.
                anchors { left: parent.left; right: parent.right; top: parent.top }
                height: dialog.radius
            }
        }
    }
}
