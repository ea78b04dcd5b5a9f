import QtQuick 2.13
import "../theme"
import "../custom"

Rectangle {
    id: panel
    color: "#232323"
    implicitHeight: 48

    signal settingsClicked()
    signal logOutClicked()
    signal aboutClicked()

    // How long "Complete" stays after a refresh.
    property int completeDuration: 3000
    readonly property bool refreshing: app.remoteAPI.isRefreshing
    readonly property bool completeShown: completeTimer.running

    Timer {
        id: completeTimer
        objectName: "completeTimer"
        interval: panel.completeDuration
    }

    Connections {
        target: app.remoteAPI
        function onIsRefreshingChanged() {
            if (!app.remoteAPI.isRefreshing)
                completeTimer.restart()
        }
    }

    // When the bar runs short the greeting gives way first. While the download figures show,
    // the refresh button then keeps only its icon, and after it the download button; the
    // figures are cut only when even the icons leave too little room.
    readonly property real figuresRoom: width - logo.x - logo.width - 16 - 10 - 10 - syncButton.fullWidth
                                        - aboutButton.width - settingsButton.width - 4 * buttons.spacing
    readonly property real figuresWanted: Math.min(overallProgressText.implicitWidth, 380)
    readonly property bool refreshIconOnly: overallProgressText.visible
                                            && figuresRoom < Math.max(150, refreshButton.fullWidth) + figuresWanted
    readonly property bool syncIconOnly: overallProgressText.visible
                                         && figuresRoom < refreshButton.height + figuresWanted

    Image {
        id: logo
        anchors { left: parent.left; leftMargin: 10; verticalCenter: parent.verticalCenter }
        source: "qrc:///logos/qen-logo-white.png"
        height: 23
        fillMode: Image.PreserveAspectFit
        width: implicitHeight > 0 ? Math.round(height * implicitWidth / implicitHeight) : 0
        mipmap: true
    }

    Text {
        objectName: "greeting"
        anchors { left: logo.right; leftMargin: 16; right: buttons.left; rightMargin: 10; verticalCenter: parent.verticalCenter }
        text: app.remoteAPI.nameSurname !== "" ? qsTr("Welcome, %1!").arg(app.remoteAPI.nameSurname) : ""
        color: "#fff"
        font.family: Theme.systemFontFamily
        font.pixelSize: 18
        elide: Text.ElideRight
        // A name of any length, and it gives way to the progress of running downloads.
        property bool elidesOnPurpose: true
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }

    Row {
        id: buttons
        anchors { right: parent.right; rightMargin: 10; verticalCenter: parent.verticalCenter }
        spacing: 8

        StyledButton {
            id: refreshButton
            objectName: "refreshButton"
            width: iconOnly ? height : Math.max(150, fullWidth)
            alternateTexts: [qsTr("Complete"), qsTr("Checking..."), qsTr("Sync library data")]
            iconOnly: panel.refreshIconOnly
            height: 28
            backgroundColor: "transparent"
            backgroundPressedColor: "transparent"
            iconRight: false
            iconSize: 12
            textColor: "#fff"
            text: panel.completeShown ? qsTr("Complete")
                : (panel.refreshing ? qsTr("Checking...") : qsTr("Sync library data"))
            iconSource: panel.completeShown ? "qrc:///icons/icon-sync.svg" : "qrc:///icons/refresh_blue.svg"
            rotateIcon: panel.refreshing
            enabled: !panel.refreshing && !app.isSyncing && !panel.completeShown
            onClicked: app.remoteAPI.refreshLibrary()
            StyledToolTip { text: refreshButton.text; active: refreshButton.iconOnly && refreshButton.hovered }
        }

        // The running batch as a whole: files, bytes, rate and time left.
        Text {
            id: overallProgressText
            objectName: "overallProgress"
            anchors.verticalCenter: parent.verticalCenter
            readonly property string figures: app.overallProgress ? app.overallProgress.text : ""
            visible: figures !== ""
            width: Math.min(panel.figuresWanted, Math.max(0, panel.figuresRoom + syncButton.fullWidth
                                                           - syncButton.width - refreshButton.width))
            text: figures
            color: "#fff"
            font.family: Theme.systemFontFamily
            font.pixelSize: 12
            elide: Text.ElideRight
            Accessible.role: Accessible.StaticText
            Accessible.name: qsTr("Downloading: %1").arg(figures)
        }

        StyledButton {
            id: syncButton
            objectName: "syncButton"
            width: iconOnly ? height : implicitWidth
            height: 28
            iconOnly: panel.syncIconOnly
            text: app.syncAction.text
            iconSource: "qrc:///icons/download_white.svg"
            backgroundColor: "#1771e0"
            onClicked: app.syncAction.trigger()
            StyledToolTip { text: syncButton.text; active: syncButton.iconOnly && syncButton.hovered }
        }

        StyledButton {
            id: aboutButton
            objectName: "aboutButton"
            width: 28
            height: 28
            leftPadding: 0
            rightPadding: 0
            iconSize: 16
            iconSource: "qrc:///icons/info_white.svg"
            backgroundColor: "#141414"
            onClicked: panel.aboutClicked()
            Accessible.name: qsTr("About")
            StyledToolTip { text: qsTr("About"); active: parent.hovered }
        }

        StyledButton {
            id: settingsButton
            objectName: "settingsButton"
            width: 28
            height: 28
            leftPadding: 0
            rightPadding: 0
            iconSize: 16
            iconSource: "qrc:///icons/cog_white.svg"
            backgroundColor: "#141414"
            onClicked: panel.settingsClicked()
            Accessible.name: qsTr("Settings")
            StyledToolTip { text: qsTr("Settings"); active: parent.hovered }
        }
    }
}
