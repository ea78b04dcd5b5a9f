pragma Singleton
import QtQuick 2.13

// Colours, fonts and sizes shared by every screen, so that no view repeats a literal.
QtObject {
    readonly property color greyoutColor: "#C6C6C6"
    readonly property color mainTextColor: "#232323"
    readonly property color downloadBackground: "#1771E0"
    readonly property color downloadBgDisabled: "#89b7ef"
    readonly property color actionButtonMain: "#ececec"
    readonly property color deleteRedBackground: "#d51c1c"
    readonly property color activeFilterBackground: "#cf252b"
    readonly property color inactiveFilterBackground: "#c2c2c2"
    readonly property color settingsControlsBackground: "#363636"
    readonly property color settingsControlsHoveredBg: "#474747"

    readonly property color darkBackground: "#232323"
    readonly property color panelBackground: "#2a2a2a"
    readonly property color lightBackground: "#EBEBEB"
    readonly property color popupBackground: "#F2F1ED"
    readonly property color brandRed: "#cf252b"
    readonly property color errorText: "#BF1223"
    readonly property color linkColor: "#A33737"
    readonly property color secondaryText: "#6A6A6A"

    // Keyboard focus: 3:1 or more against both the dark header and the light list.
    readonly property color focusRing: "#1771E0"
    // Lighter twins of the colours above for text on the dark screens, each at 4.5:1 or more
    // against its background with the hue kept.
    readonly property color linkOnDark: "#3F8BE8"
    readonly property color secondaryLinkOnDark: "#CE6D6D"
    readonly property color errorTextOnDark: "#EF5160"
    readonly property color labelOnDark: "#919191"
    readonly property color placeholderOnLight: "#767676"
    readonly property color placeholderOnDark: "#999999"
    readonly property color signOutText: "#E76969"

    readonly property string mainFontFamily: "Montserrat"
    readonly property string titleFontFamily: "Josefin Sans"
    // The look was drawn with two Windows faces; DejaVu Sans (fonts-dejavu-core) has Verdana's
    // wide, open metrics and stands in for both on every platform.
    readonly property string systemFontFamily: "DejaVu Sans"
    readonly property string plainFontFamily: "DejaVu Sans"

    readonly property int smallFontSize: 12
    readonly property int normalFontSize: 14
    readonly property int largeFontSize: 16
    readonly property int titleFontSize: 18

    readonly property int controlHeight: 28
    readonly property int panelHeight: 45
    readonly property int headerHeight: 48
    readonly property int controlRadius: 4

    // The context property is missing when a file is loaded on its own (tests, previews).
    readonly property bool isMobile: typeof app !== "undefined" && app !== null && app.isMobile === true
    readonly property int mainViewSideMargin: isMobile ? 4 : 9
}
