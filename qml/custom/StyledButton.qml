import QtQuick 2.13
import QtQuick.Controls 2.13
import QtGraphicalEffects 1.0
import "../theme"

Button {
    id: control

    property url iconSource: ""
    property bool rotateIcon: false
    property bool iconRight: true
    property int iconSize: 12
    property color backgroundColor: "#1771e0"
    property color backgroundPressedColor: Qt.darker(backgroundColor, 1.2)
    property color textColor: "#fff"
    property bool glowEnabled: false
    property color glowColor: backgroundColor
    property int fontHeight: 12
    property string fontFamily: Theme.systemFontFamily
    property int fontWeiht: Font.Normal
    property real radius: 4
    // Other texts the button shows at times: its natural width holds the widest, so it does not
    // change size when its text changes.
    property var alternateTexts: []
    // Only the icon shows; the text stays the button's accessible name and tooltip.
    property bool iconOnly: false
    // The natural width with the text shown, whether or not it is.
    readonly property real fullWidth: contentItem.fullWidth + leftPadding + rightPadding

    hoverEnabled: true
    leftPadding: 10
    rightPadding: 10
    topPadding: 0
    bottomPadding: 0
    implicitHeight: 28
    opacity: enabled ? 1 : 0.6

    contentItem: Item {
        // From the parts' natural sizes: the label's own width follows the button's.
        implicitWidth: label.visible ? fullWidth : (icon.visible ? icon.width : 0)
        readonly property real fullWidth: Math.max(control.text !== "" ? label.implicitWidth : 0, alternatesWidth)
                                          + (icon.visible ? icon.width : 0) + (control.text !== "" && icon.visible ? 6 : 0)
        readonly property real alternatesWidth: {
            var widest = 0
            for (var i = 0; i < control.alternateTexts.length; ++i)
                widest = Math.max(widest, labelMetrics.advanceWidth(control.alternateTexts[i]))
            return Math.ceil(widest)
        }

        FontMetrics {
            id: labelMetrics
            font: label.font
        }
        implicitHeight: row.implicitHeight

        Row {
            id: row
            anchors.centerIn: parent
            spacing: label.visible && icon.visible ? 6 : 0
            layoutDirection: control.iconRight ? Qt.LeftToRight : Qt.RightToLeft

            Text {
                id: label
                anchors.verticalCenter: parent.verticalCenter
                visible: control.text !== "" && !control.iconOnly
                text: control.text
                color: control.textColor
                font.pixelSize: control.fontHeight
                font.family: control.fontFamily
                font.weight: control.fontWeiht
                elide: Text.ElideRight
                width: Math.min(implicitWidth, Math.max(0, control.availableWidth
                                - (icon.visible ? icon.width + row.spacing : 0)))
            }

            SvgImageHDPI {
                id: icon
                anchors.verticalCenter: parent.verticalCenter
                visible: control.iconSource != ""
                source: control.iconSource
                width: control.iconSize
                height: control.iconSize
                rotate: control.rotateIcon
            }
        }
    }

    background: Item {
        implicitWidth: 60
        implicitHeight: 28

        RectangularGlow {
            anchors.fill: bg
            visible: control.glowEnabled
            glowRadius: 5
            spread: 0.2
            color: control.glowColor
            cornerRadius: bg.radius + glowRadius
        }

        Rectangle {
            id: bg
            anchors.fill: parent
            radius: control.radius
            color: control.down ? control.backgroundPressedColor : control.backgroundColor
        }
    }

    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.NoButton
        cursorShape: Qt.PointingHandCursor
    }

    // A dialog's Return goes to the focused control when it is a button.
    readonly property bool pressesOnReturn: true
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()
    Accessible.name: text

    FocusRing {
        shown: control.visualFocus
        radius: control.radius + 3
    }
}
