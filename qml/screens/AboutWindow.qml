import QtQuick 2.13
import "../theme"
import "../custom"

// Who makes the program and where to find them.
PopupWindow {
    id: about
    objectName: "aboutWindow"

    readonly property string siteUrl: "https://www.tolvane-store.example"
    readonly property string appPageUrl: "https://www.tolvane-store.example/library-app"

    width: 428
    height: 287
    title: qsTr("About")

    Item {
        anchors.fill: parent
        focus: true
        Keys.onEscapePressed: about.close()

        Column {
            x: 20
            y: 40
            width: about.width - 2 * x
            spacing: 6

            Image {
                width: 262
                height: 52
                fillMode: Image.PreserveAspectFit
                horizontalAlignment: Image.AlignLeft
                source: "qrc:///icons/logo-tolvane.png"
                mipmap: true

                FocusArea {
                    anchors.fill: parent
                    Accessible.role: Accessible.Link
                    Accessible.name: qsTr("Tolvane web site")
                    onActivated: Qt.openUrlExternally(about.siteUrl)
                }
            }

            Text {
                text: qsTr("Tolvane")
                color: "#000"
                font.family: Theme.titleFontFamily
                font.pixelSize: 24
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }

            Text {
                text: qsTr("Game books and adventures, delivered to your desk.")
                // A longer translation goes on to a second line rather than past the window's edge.
                width: parent.width
                wrapMode: Text.WordWrap
                font.family: Theme.systemFontFamily
                font.pixelSize: 14
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }

            Text {
                objectName: "versionText"
                text: qsTr("Version %1").arg(app.applicationVersion)
                color: "#6A6A6A"
                font.family: Theme.systemFontFamily
                font.pixelSize: 12
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }

            Text {
                text: "<a href=\"" + about.appPageUrl + "\">" + qsTr("The Tolvane desktop library app") + "</a>"
                // linkColor only colours styled text; rich text would take the palette's blue.
                textFormat: Text.StyledText
                linkColor: "#A33737"
                font.family: Theme.systemFontFamily
                font.pixelSize: 12
                onLinkActivated: Qt.openUrlExternally(link)
                activeFocusOnTab: true
                Keys.onSpacePressed: Qt.openUrlExternally(about.appPageUrl)
                Keys.onReturnPressed: Qt.openUrlExternally(about.appPageUrl)
                Accessible.role: Accessible.Link
                Accessible.name: qsTr("The Tolvane desktop library app")
                Accessible.focusable: true
                Accessible.onPressAction: Qt.openUrlExternally(about.appPageUrl)
                FocusRing { shown: parent.activeFocus; radius: 3 }

                MouseArea {
                    anchors.fill: parent
                    acceptedButtons: Qt.NoButton
                    cursorShape: parent.hoveredLink !== "" ? Qt.PointingHandCursor : Qt.ArrowCursor
                }
            }

            Text {
                text: qsTr("© 2021 Quenlith. All rights reserved.")
                width: parent.width
                wrapMode: Text.WordWrap
                color: "#6A6A6A"
                font.family: Theme.systemFontFamily
                font.pixelSize: 12
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
        }

        Row {
            anchors { right: parent.right; bottom: parent.bottom; margins: 20 }
            spacing: 14

            Repeater {
                model: [{ icon: "qrc:///icons/g+.svg", url: "https://www.tolvane-store.example/community",
                          name: qsTr("Tolvane community") },
                        { icon: "qrc:///icons/fb.svg", url: "https://www.facebook.com/tolvanestore",
                          name: qsTr("Tolvane on Facebook") },
                        { icon: "qrc:///icons/tw.svg", url: "https://twitter.com/tolvanestore",
                          name: qsTr("Tolvane on Twitter") }]
                SvgImageHDPI {
                    width: 32
                    height: 32
                    source: modelData.icon
                    FocusArea {
                        anchors.fill: parent
                        Accessible.role: Accessible.Link
                        Accessible.name: modelData.name
                        onActivated: Qt.openUrlExternally(modelData.url)
                    }
                }
            }
        }
    }
}
