import QtQuick 2.13
import "theme"

// Holds the window's content until the library screens take its place: native code already
// reads the dialog properties and calls showFirstLoginInfo(), so they exist from the start.
Rectangle {
    id: rootWindow
    objectName: "mainForm"
    color: Theme.darkBackground

    property var askDeleteDialog: null
    property var askUpdateFileDialog: null
    property var askFreeSpaceDialog: null
    property var askUpdateAppDialog: null

    function showFirstLoginInfo() {
    }

    Row {
        id: stripe
        anchors { left: parent.left; right: parent.right; top: parent.top }
        height: 10

        Repeater {
            model: 6
            Rectangle {
                width: stripe.width / 6
                height: stripe.height
                color: index % 2 === 0 ? Theme.brandRed : "#fff"
            }
        }
    }

    Column {
        anchors.centerIn: parent
        spacing: 18

        Image {
            objectName: "appMark"
            anchors.horizontalCenter: parent.horizontalCenter
            source: "qrc:///icons/icon-app-small.svg"
            sourceSize: Qt.size(96, 96)
        }

        Text {
            objectName: "appName"
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("Tolvane")
            color: "#fff"
            font.family: Theme.mainFontFamily
            font.weight: Font.DemiBold
            font.pixelSize: 40
        }

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("Library App")
            color: Theme.greyoutColor
            font.family: Theme.mainFontFamily
            font.weight: Font.Light
            font.pixelSize: Theme.largeFontSize
            font.letterSpacing: 2
        }
    }

    Image {
        anchors { horizontalCenter: parent.horizontalCenter; bottom: parent.bottom; bottomMargin: 24 }
        source: "qrc:///logos/qen-logo-white.png"
        height: 23
        width: height * 7.15
        fillMode: Image.PreserveAspectFit
        mipmap: true
    }
}
