import QtQuick 2.13
import QtQuick.Controls 2.13
import "../theme"

// The one look of the window's modal questions: a dark title bar with a close icon over a white body.
Dialog {
    id: dialog

    property real radius: 4
    property color headerColor: "#232323"
    // Lets a dialog put something behind its title (the errors list's red block).
    property Component headerDecoration: null
    property real titleLeftMargin: leftPadding + 1

    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    x: parent ? Math.round(parent.width / 2 - width / 2) : 0
    y: parent ? Math.round(parent.height / 2 - height / 2) : 0
    leftPadding: 14
    rightPadding: 14
    topPadding: 8
    bottomPadding: 8

    header: Rectangle {
        objectName: "dialogHeader"
        implicitHeight: 40
        color: dialog.headerColor
        radius: dialog.radius

        Rectangle {
            // Squares off the bar's bottom corners.
            anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
            height: dialog.radius
            color: parent.color
        }

        Loader {
            anchors { left: parent.left; top: parent.top; bottom: parent.bottom }
            sourceComponent: dialog.headerDecoration
        }

        Text {
            objectName: "dialogTitle"
            anchors { left: parent.left; leftMargin: dialog.titleLeftMargin; verticalCenter: parent.verticalCenter }
            text: dialog.title
            color: "#eee"
            font.pixelSize: 15
            font.weight: Font.DemiBold
            font.family: Theme.mainFontFamily
        }

        SvgImageHDPI {
            id: closeIcon
            anchors { right: parent.right; rightMargin: 15; verticalCenter: parent.verticalCenter }
            width: 15
            height: 15
            source: "qrc:///icons/close_white.svg"

            MouseArea {
                objectName: "dialogCloseArea"
                anchors.fill: parent
                anchors.margins: -4
                cursorShape: Qt.PointingHandCursor
                onClicked: dialog.reject()
            }
        }
    }

    background: Rectangle {
        color: "#FFF"
        radius: dialog.radius
    }
}
