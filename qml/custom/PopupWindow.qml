import QtQuick 2.13
import QtQuick.Window 2.13
import "../theme"

// A small top-level window of fixed size that stays above the main window.
Window {
    id: window
    width: 400
    height: 300
    minimumWidth: width
    maximumWidth: width
    minimumHeight: height
    maximumHeight: height
    color: Theme.popupBackground
    title: qsTr("Tolvane")
    flags: Qt.Window | Qt.WindowTitleHint | Qt.CustomizeWindowHint | Qt.WindowCloseButtonHint
           | Qt.WindowSystemMenuHint | Qt.WindowStaysOnTopHint
}
