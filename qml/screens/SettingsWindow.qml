import QtQuick 2.13
import QtQuick.Controls 2.13
import QtQuick.Dialogs 1.2
import "../theme"
import "../custom"
import "../components"

// The user's preferences. The controls hold a private copy of the stored values; nothing is
// written until "Save changes", and leaving any other way drops the edits.
Row {
    id: settingsWindow
    objectName: "settingsWindow"

    readonly property string siteUrl: "https://www.tolvane-store.example"
    readonly property string facebookUrl: "https://www.facebook.com/tolvanestore"
    readonly property string twitterUrl: "https://twitter.com/tolvanestore"
    readonly property var downloadCounts: ["5", "3", "2", "1"]

    signal logoutClicked()
    signal goBack()

    function load() {
        var s = app.settings
        folderField.text = s.libraryDirectory
        downloadsBox.currentIndex = downloadCounts.indexOf(String(s.simultaneousDownloads))
        checkUpdatesBox.checked = s.checkUpdateOnStart
        policyBox.currentIndex = s.updateBookPolicy >= 0 && s.updateBookPolicy < policyBox.count
                                 ? s.updateBookPolicy : -1
        loggingBox.checked = s.loggingEnabled
        deleteConfirmationBox.checked = s.showDeleteConfirmation
        trashBox.checked = !s.deletePermanently
        limitBox.checked = s.downloadLimitOn
        limitField.text = String(s.downloadLimitValue)
        limitUnitBox.currentIndex = s.downloadLimitInMiB ? 1 : 0
    }

    function save() {
        var folder = folderField.text
        if (!app.isDirWritable(folder)) {
            notWritableMessage.open()
            return
        }
        var s = app.settings
        var initialFolder = s.libraryDirectory
        s.libraryDirectory = folder
        // No entry chosen gives 0, which the setter turns into the lowest limit.
        s.simultaneousDownloads = downloadsBox.currentIndex >= 0 ? parseInt(downloadCounts[downloadsBox.currentIndex]) : 0
        s.checkUpdateOnStart = checkUpdatesBox.checked
        if (policyBox.currentIndex >= 0)
            s.updateBookPolicy = policyBox.currentIndex
        s.loggingEnabled = loggingBox.checked
        s.showDeleteConfirmation = deleteConfirmationBox.checked
        s.deletePermanently = !trashBox.checked
        var limit = parseInt(limitField.text)
        if (limit > 0)
            s.downloadLimitValue = limit
        s.downloadLimitInMiB = limitUnitBox.currentIndex === 1
        // An empty or zero value turns the limit off rather than stopping every download.
        s.downloadLimitOn = limitBox.checked && limit > 0
        s.save()
        if (typeof app.scanFolder === "function")
            app.scanFolder(initialFolder, folder)
        goBack()
    }

    // The interactive check: the updater opens the update dialog itself when there is something
    // new, so a check that ends without it open found nothing.
    function checkForUpdates() {
        if (!app.updater || typeof app.updater.checkUpdates !== "function")
            return
        updateCheck.waiting = true
        app.updater.checkUpdates(true)
        if (!app.updater.checking)
            updateCheck.finish()
    }

    Component.onCompleted: load()
    Keys.onEscapePressed: goBack()
    StackView.onActivated: forceActiveFocus()
    Shortcut {
        sequence: "Escape"
        enabled: settingsWindow.StackView.status === StackView.Active
        onActivated: settingsWindow.goBack()
    }

    QtObject {
        id: updateCheck
        property bool waiting: false

        function finish() {
            if (!waiting)
                return
            waiting = false
            var dialog = typeof rootWindow !== "undefined" && rootWindow ? rootWindow.askUpdateAppDialog : null
            if (dialog && dialog.visible)
                return
            noUpdatesMessage.failure = app.updater.checkError
            noUpdatesMessage.open()
        }
    }

    Connections {
        target: app.updater ? app.updater : null
        ignoreUnknownSignals: true
        function onCheckingChanged() {
            if (!app.updater.checking)
                updateCheck.finish()
        }
    }

    Rectangle {
        id: leftBar
        width: settingsWindow.width / 3 - settingsWindow.width / 99 - 1
        height: settingsWindow.height
        color: "#232323"

        SvgImageHDPI {
            objectName: "backArrow"
            anchors { right: parent.right; rightMargin: 60; top: parent.top; topMargin: 28 }
            width: 22
            height: 22
            source: "qrc:///icons/arrow_left_white.svg"

            FocusArea {
                objectName: "backArea"
                anchors { fill: parent; margins: -4 }
                Accessible.name: qsTr("Back to the library")
                onActivated: settingsWindow.goBack()
            }
        }
    }

    Rectangle {
        width: settingsWindow.width - leftBar.width
        height: settingsWindow.height
        color: "#2a2a2a"

        ScrollView {
            id: scroll
            objectName: "settingsScroll"
            anchors.fill: parent
            contentWidth: availableWidth
            contentHeight: content.height + 25
            clip: true
            // Placed as the view's own would be; declared to carry a name.
            ScrollBar.vertical: ScrollBar {
                parent: scroll
                x: scroll.mirrored ? 0 : scroll.width - width
                y: scroll.topPadding
                height: scroll.availableHeight
                active: scroll.ScrollBar.horizontal.active
                Accessible.name: qsTr("Scroll the settings")
            }
            ScrollBar.horizontal.policy: ScrollBar.AlwaysOff

            Column {
                id: content
                x: 24
                y: 28
                // What the pane holds with a margin on either side: longer labels wrap within it.
                width: Math.max(policyBox.width, scroll.availableWidth - 2 * x)
                spacing: 10

                Text {
                    text: qsTr("Settings")
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                    color: "#fff"
                    font { family: Theme.mainFontFamily; pixelSize: 16; weight: Font.Medium }
                    bottomPadding: 10
                }

                Text {
                    text: qsTr("DOWNLOAD")
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                    color: "#fff"
                    font { family: Theme.mainFontFamily; pixelSize: 14; weight: Font.DemiBold }
                }

                Text {
                    text: qsTr("Download Directory")
                    color: "#fff"
                    font { family: Theme.mainFontFamily; pixelSize: 12 }
                }

                SelectFolderTextField {
                    id: folderField
                    objectName: "folderField"
                    Accessible.name: qsTr("Download Directory")
                    width: policyBox.width
                    height: 30
                }

                Text {
                    text: qsTr("Number of simultaneous downloads")
                    color: "#fff"
                    font { family: Theme.mainFontFamily; pixelSize: 12 }
                }

                RoundedComboBox {
                    id: downloadsBox
                    objectName: "downloadsBox"
                    Accessible.name: qsTr("Number of simultaneous downloads")
                    width: 50
                    height: 34
                    model: settingsWindow.downloadCounts
                    radius: 8
                    leftPadding: 10
                    rightPadding: 20
                    textColor: "#fff"
                    backgroundColor: Theme.settingsControlsBackground
                    backgroundHoveredColor: Theme.settingsControlsHoveredBg
                    separatorColor: "#303030"
                    shadowRadius: 5
                    shadowStrength: 0.5
                    indicator.visible: false
                }

                SettingsCheckBox {
                    id: limitBox
                    objectName: "limitBox"
                    text: qsTr("Limit download speed")
                }

                Row {
                    spacing: 10
                    enabled: limitBox.checked
                    opacity: enabled ? 1 : 0.5

                    StyledTextField {
                        id: limitField
                        objectName: "limitField"
                        width: 110
                        height: 34
                        font.pixelSize: 14
                        placeholderText: qsTr("Speed")
                        Accessible.name: qsTr("Download speed limit")
                        inputMethodHints: Qt.ImhDigitsOnly
                        validator: IntValidator { bottom: 1; top: 999999 }
                    }

                    RoundedComboBox {
                        id: limitUnitBox
                        objectName: "limitUnitBox"
                        Accessible.name: qsTr("Unit of the download speed limit")
                        width: 90
                        height: 34
                        model: [qsTr("KiB/s"), qsTr("MiB/s")]
                        radius: 8
                        textColor: "#fff"
                        backgroundColor: Theme.settingsControlsBackground
                        backgroundHoveredColor: Theme.settingsControlsHoveredBg
                        separatorColor: "#303030"
                        shadowRadius: 5
                        shadowStrength: 0.5
                        popup.width: width
                    }
                }

                Text {
                    text: qsTr("LIBRARY CHECK")
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                    color: "#fff"
                    topPadding: 12
                    font { family: Theme.mainFontFamily; pixelSize: 14; weight: Font.Medium }
                }

                Text {
                    width: policyBox.width
                    text: qsTr("Checks every downloaded file against the store's checksums. Changed and missing files are marked for download again.")
                    wrapMode: Text.WordWrap
                    color: Theme.labelOnDark
                    font { family: Theme.mainFontFamily; pixelSize: 12 }
                }

                SettingsCheckBox {
                    id: fullCheckBox
                    objectName: "fullCheckBox"
                    enabled: !libraryVerification.running
                    text: qsTr("Full check: read every file, also those unchanged since the last check")
                }

                Row {
                    spacing: 10

                    StyledButton {
                        objectName: "verifyButton"
                        width: Math.max(150, implicitWidth)
                        alternateTexts: [qsTr("Stop the check"), qsTr("Verify library")]
                        height: 28
                        text: libraryVerification.running ? qsTr("Stop the check") : qsTr("Verify library")
                        backgroundColor: "#505050"
                        fontFamily: Theme.mainFontFamily
                        radius: 8
                        onClicked: {
                            if (libraryVerification.running)
                                libraryVerification.cancel()
                            else
                                libraryVerification.start(fullCheckBox.checked)
                        }
                    }

                    ProgressBar {
                        objectName: "verifyProgress"
                        anchors.verticalCenter: parent.verticalCenter
                        width: 170
                        visible: libraryVerification.running
                        value: libraryVerification.fraction
                        Accessible.name: qsTr("Library check progress")
                    }
                }

                Text {
                    objectName: "verifyStatus"
                    width: policyBox.width
                    visible: text !== ""
                    text: libraryVerification.running ? libraryVerification.progressText : libraryVerification.resultText
                    wrapMode: Text.WordWrap
                    color: "#fff"
                    font { family: Theme.mainFontFamily; pixelSize: 12 }
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }

                Text {
                    text: qsTr("UPDATES")
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                    color: "#fff"
                    topPadding: 12
                    font { family: Theme.mainFontFamily; pixelSize: 14; weight: Font.Medium }
                }

                SettingsCheckBox {
                    id: checkUpdatesBox
                    objectName: "checkUpdatesBox"
                    text: qsTr("Check for new version on app startup")
                }

                Text {
                    text: qsTr("If Files in the library have changed...")
                    color: "#fff"
                    font { family: Theme.mainFontFamily; pixelSize: 12 }
                }

                RoundedComboBox {
                    id: policyBox
                    objectName: "policyBox"
                    Accessible.name: qsTr("If Files in the library have changed...")
                    width: Math.max(330, implicitWidth)
                    height: 34
                    model: [qsTr("Always ask before replacing old file(s)"),
                            qsTr("Auto download, archive old file(s)"),
                            qsTr("Auto download, replace old file(s)")]
                    radius: 8
                    textColor: "#fff"
                    backgroundColor: Theme.settingsControlsBackground
                    backgroundHoveredColor: Theme.settingsControlsHoveredBg
                    separatorColor: "#303030"
                    shadowRadius: 5
                    shadowStrength: 0.5
                    popup.width: width
                }

                StyledButton {
                    objectName: "checkNowButton"
                    width: Math.max(190, implicitWidth)
                    alternateTexts: [qsTr("Checking..."), qsTr("Check for updates now")]
                    height: 28
                    text: app.updater && app.updater.checking ? qsTr("Checking...") : qsTr("Check for updates now")
                    enabled: !!app.updater && !app.updater.checking
                    visible: !!app.updater
                    backgroundColor: "#505050"
                    fontFamily: Theme.mainFontFamily
                    radius: 8
                    onClicked: settingsWindow.checkForUpdates()
                }

                Text {
                    text: qsTr("ADDITIONAL OPTIONS")
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                    color: "#fff"
                    topPadding: 12
                    font { family: Theme.mainFontFamily; pixelSize: 14; weight: Font.DemiBold }
                }

                SettingsCheckBox {
                    id: loggingBox
                    objectName: "loggingBox"
                    text: qsTr("Enable logging to assist in improving the application")
                }

                SettingsCheckBox {
                    id: deleteConfirmationBox
                    objectName: "deleteConfirmationBox"
                    text: qsTr("Show confirmation when deleting a file")
                }

                SettingsCheckBox {
                    id: trashBox
                    objectName: "trashBox"
                    text: qsTr("Move deleted files to the Trash")
                }

                Row {
                    topPadding: 16
                    spacing: 10

                    StyledButton {
                        objectName: "saveButton"
                        width: Math.max(130, implicitWidth)
                        height: 34
                        text: qsTr("Save changes")
                        backgroundColor: "#1b8a53"
                        fontFamily: Theme.mainFontFamily
                        fontWeiht: Font.Medium
                        radius: 8
                        onClicked: settingsWindow.save()
                    }

                    StyledButton {
                        objectName: "cancelButton"
                        width: Math.max(90, implicitWidth)
                        height: 34
                        text: qsTr("Cancel")
                        backgroundColor: "#505050"
                        fontFamily: Theme.mainFontFamily
                        fontWeiht: Font.Medium
                        radius: 8
                        onClicked: settingsWindow.goBack()
                    }
                }

                StyledButton {
                    objectName: "signOutButton"
                    width: Math.max(110, implicitWidth)
                    height: 28
                    leftPadding: 0
                    rightPadding: 0
                    text: qsTr("Sign out")
                    iconSource: "qrc:///icons/sign_out_red.svg"
                    iconSize: 18
                    iconRight: false
                    backgroundColor: "transparent"
                    backgroundPressedColor: "#20e14343"
                    textColor: Theme.signOutText
                    fontFamily: Theme.mainFontFamily
                    fontHeight: 16
                    fontWeiht: Font.Medium
                    onClicked: settingsWindow.logoutClicked()
                }

                Image {
                    width: 275
                    height: 36
                    fillMode: Image.PreserveAspectFit
                    horizontalAlignment: Image.AlignLeft
                    source: "qrc:///logos/qen-logo-white.png"
                    mipmap: true

                    FocusArea {
                        anchors.fill: parent
                        Accessible.role: Accessible.Link
                        Accessible.name: qsTr("Quenlith web site")
                        onActivated: Qt.openUrlExternally(settingsWindow.siteUrl)
                    }
                }

                Text {
                    objectName: "versionText"
                    text: qsTr("Quenlith Library Application %1").arg(app.applicationVersion)
                    color: "#fff"
                    font { family: Theme.mainFontFamily; pixelSize: 12; weight: Font.Medium }
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }

                Row {
                    spacing: 5
                    Repeater {
                        model: [{ icon: "qrc:///icons/settings/social_facebook.svg", url: settingsWindow.facebookUrl,
                                  name: qsTr("Quenlith on Facebook") },
                                { icon: "qrc:///icons/settings/social_twitter.svg", url: settingsWindow.twitterUrl,
                                  name: qsTr("Quenlith on Twitter") }]
                        SvgImageHDPI {
                            width: 24
                            height: 24
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

                Text {
                    text: qsTr("© 2021 Quenlith. All rights reserved.")
                    color: "#fff"
                    font { family: Theme.mainFontFamily; pixelSize: 12; weight: Font.Medium }
                }
            }
        }
    }

    MessageDialog {
        id: notWritableMessage
        objectName: "notWritableMessage"
        title: qsTr("Warning")
        text: qsTr("Download directory is not writable. Please select different one.")
        icon: StandardIcon.Warning
        modality: Qt.ApplicationModal
    }

    NoAppUpdatesDialog {
        id: noUpdatesMessage
    }
}
