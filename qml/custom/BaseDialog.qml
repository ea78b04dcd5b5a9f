import QtQuick 2.13
import QtQuick.Controls 2.13
import QtQuick.Window 2.13
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
    // Escape is the cancel button's: the shortcut below answers it.
    closePolicy: Popup.NoAutoClose
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
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }

        SvgImageHDPI {
            id: closeIcon
            anchors { right: parent.right; rightMargin: 15; verticalCenter: parent.verticalCenter }
            width: 15
            height: 15
            source: "qrc:///icons/close_white.svg"

            FocusArea {
                objectName: "dialogCloseArea"
                anchors.fill: parent
                anchors.margins: -4
                // Escape does the same; a second tab stop on every dialog would only slow the way to its buttons.
                activeFocusOnTab: false
                Accessible.name: qsTr("Close")
                onActivated: dialog.reject()
            }
        }
    }

    background: Rectangle {
        color: "#FFF"
        radius: dialog.radius
    }

    // Return presses the focused button, or the default one from anywhere else in the dialog;
    // Escape is the cancel button's answer, so the asking side hears it as a click on it.
    property Item defaultButton: null
    property Item cancelButton: null

    // Only there to read the window's focused item.
    Item { id: focusProbe }

    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: dialog.opened
        onActivated: {
            var focused = focusProbe.Window.activeFocusItem
            if (focused && focused.pressesOnReturn === true && focused.enabled && focused.visible)
                focused.clicked()
            else if (dialog.defaultButton && dialog.defaultButton.enabled && dialog.defaultButton.visible)
                dialog.defaultButton.clicked()
        }
    }

    Shortcut {
        sequence: "Escape"
        enabled: dialog.opened
        onActivated: {
            if (dialog.cancelButton && dialog.cancelButton.visible)
                dialog.cancelButton.clicked()
            else
                dialog.reject()
        }
    }
}
