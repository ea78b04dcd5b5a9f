import QtQuick 2.13
import QtQuick.Controls 2.13
import QtGraphicalEffects 1.0
import "../theme"

ComboBox {
    id: control

    property real radius: 4
    property color textColor: Theme.mainTextColor
    property color backgroundColor: "#fff"
    property color backgroundHoveredColor: "#f2f2f2"
    property color separatorColor: "#e1e1e1"
    property real shadowRadius: 4
    property real shadowStrength: 0.3

    // Wide enough for the longest entry, so no choice shows cut.
    implicitWidth: Math.max(120, widestEntry + leftPadding + rightPadding)
    readonly property real widestEntry: {
        var entries = Array.isArray(model) ? model : []
        var widest = 0
        for (var i = 0; i < entries.length; ++i)
            widest = Math.max(widest, entryMetrics.advanceWidth(String(textRole ? entries[i][textRole] : entries[i])))
        return Math.ceil(widest) + 1
    }
    FontMetrics {
        id: entryMetrics
        font: control.font
    }
    implicitHeight: 28
    hoverEnabled: true
    font.pixelSize: 12
    font.family: Theme.systemFontFamily
    leftPadding: 12
    rightPadding: 26

    background: Item {
        DropShadow {
            anchors.fill: bg
            source: bg
            radius: control.shadowRadius
            samples: 9
            verticalOffset: 1
            color: Qt.rgba(0, 0, 0, control.shadowStrength)
        }
        Rectangle {
            id: bg
            anchors.fill: parent
            radius: control.radius
            color: control.hovered ? control.backgroundHoveredColor : control.backgroundColor
        }
    }

    contentItem: Text {
        text: control.displayText
        color: control.textColor
        font: control.font
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    indicator: SvgImageHDPI {
        x: control.width - width - 10
        anchors.verticalCenter: parent.verticalCenter
        width: 10
        height: 10
        source: "qrc:///icons/chevron_down_black.svg"
    }

    delegate: ItemDelegate {
        width: control.popup.width
        height: 28
        highlighted: control.highlightedIndex === index
        contentItem: Text {
            text: control.textRole ? (Array.isArray(control.model) ? modelData[control.textRole] : model[control.textRole]) : modelData
            color: control.textColor
            font: control.font
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }
        background: Rectangle {
            color: highlighted ? control.backgroundHoveredColor : control.backgroundColor
            Rectangle {
                anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
                height: 1
                color: control.separatorColor
                visible: index < control.count - 1
            }
        }
    }

    FocusRing {
        shown: control.visualFocus
        radius: control.radius + 3
    }

    popup: Popup {
        y: control.height + 2
        width: Math.max(control.width, 150)
        implicitHeight: contentItem.implicitHeight + 2
        padding: 1
        contentItem: ListView {
            clip: true
            implicitHeight: contentHeight
            model: control.popup.visible ? control.delegateModel : null
            currentIndex: control.highlightedIndex
            boundsBehavior: Flickable.StopAtBounds
        }
        background: Rectangle {
            radius: control.radius
            color: control.backgroundColor
            border.color: control.separatorColor
        }
    }
}
