import QtQuick 2.13
import QtQuick.Controls 2.13
import "theme"
import "components"
import "screens"

// The window's content: the screen stack, the status bar and every dialog native code asks through.
Rectangle {
    id: rootWindow
    objectName: "mainForm"
    color: Theme.darkBackground

    property alias askDeleteDialog: deleteDialog
    property alias askUpdateFileDialog: updateFileDialog
    property alias askFreeSpaceDialog: freeSpaceDialog
    property QtObject askUpdateAppDialog: updateAppLoader.item
    property alias errorsListDialog: errorsDialog
    property alias statusBar: statusBar
    property alias screenStack: stack

    // The controller may ask for the notice before the library screen is on the stack.
    property bool firstLoginInfoPending: false


    function screenComponent(file) {
        var component = Qt.createComponent(Qt.resolvedUrl(file))
        if (component.status !== Component.Ready) {
            console.warn("MainForm: screen not available:", file, component.errorString())
            return null
        }
        return component
    }

    function showSettings() {
        var component = screenComponent("screens/SettingsWindow.qml")
        if (!component)
            return
        var settings = stack.push(component, { objectName: "settingsWindow" })
        if (!settings)
            return
        if (settings.logoutClicked)
            settings.logoutClicked.connect(rootWindow.signOut)
        if (settings.goBack)
            settings.goBack.connect(function() { stack.pop() })
    }

    function signOut() {
        // The controller's sign-out also clears the library; until it is published, sign out alone.
        if (typeof app.doLogout === "function")
            app.doLogout()
        else
            app.remoteAPI.doLogout()
    }

    function showFirstLoginInfo() {
        var bottom = stack.get(0, StackView.ForceLoad)
        if (bottom && bottom.objectName === "mainScreen")
            bottom.showFirstLoginInfo()
        else
            firstLoginInfoPending = true
    }

    function askDeleteFile() {
        deleteDialog.open()
    }

    function showErrorsListDialog() {
        errorsDialog.open()
    }

    function showAbout() {
        if (!aboutLoader.item)
            return
        aboutLoader.item.show()
        aboutLoader.item.raise()
        aboutLoader.item.requestActivate()
    }

    function openBookDetails(index) {
        openBookDetailsSource(libraryModel.rowToSource(index))
    }

    function openBookDetailsSource(sourceIndex) {
        var component = screenComponent("screens/BookDetails.qml")
        if (!component)
            return
        var details = stack.depth === 1 ? stack.push(component) : stack.replace(component)
        if (!details)
            return
        details.bookIndex = sourceIndex
        if (details.goBack)
            details.goBack.connect(function() { stack.pop() })
    }

    // Quits from any window of the program, as the tray's "Quit" does.
    Shortcut {
        sequence: StandardKey.Quit
        context: Qt.ApplicationShortcut
        onActivated: Qt.quit()
    }

    Component {
        id: mainScreenComponent
        MainScreen {
            onSettingsClicked: rootWindow.showSettings()
            onAboutClicked: rootWindow.showAbout()
            Component.onCompleted: {
                if (rootWindow.firstLoginInfoPending) {
                    rootWindow.firstLoginInfoPending = false
                    showFirstLoginInfo()
                }
            }
        }
    }

    Component {
        id: loginComponent
        LoginWindow {}
    }

    Connections {
        target: app.remoteAPI
        function onLoggedInChanged() {
            if (app.remoteAPI.loggedIn) {
                stack.replace(null, mainScreenComponent, {}, StackView.Immediate)
            } else {
                statusBar.visible = false
                rootWindow.firstLoginInfoPending = false
                stack.pop(null, StackView.Immediate)
                stack.replace(null, loginComponent, {}, StackView.Immediate)
            }
        }
    }

    StackView {
        id: stack
        objectName: "screenStack"
        anchors.fill: parent
        initialItem: app.remoteAPI.loggedIn ? mainScreenComponent : loginComponent

        pushEnter: fadeIn
        popEnter: fadeIn
        replaceEnter: fadeIn
        pushExit: fadeOut
        popExit: fadeOut
        replaceExit: fadeOut

        Transition {
            id: fadeIn
            PropertyAnimation { property: "opacity"; from: 0; to: 1; duration: 200 }
        }
        Transition {
            id: fadeOut
            PropertyAnimation { property: "opacity"; from: 1; to: 0; duration: 200 }
        }
    }

    StatusBar {
        id: statusBar
        objectName: "statusBar"
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
        z: 2
        onOpenErrorsList: rootWindow.showErrorsListDialog()
    }

    Loader {
        id: aboutLoader
        objectName: "aboutLoader"
        source: "screens/AboutWindow.qml"
    }

    DeleteConfirmationDialog {
        id: deleteDialog
        objectName: "deleteDialog"
    }

    UpdateFileDialog {
        id: updateFileDialog
        objectName: "updateFileDialog"
    }

    FreeSpaceWarningDialog {
        id: freeSpaceDialog
        objectName: "freeSpaceDialog"
    }

    Loader {
        id: updateAppLoader
        objectName: "updateAppLoader"
        anchors.fill: parent
        source: "components/UpdateAppDialog.qml"
    }

    ErrorsListDialog {
        id: errorsDialog
        objectName: "errorsListDialog"
        onOpenDetails: rootWindow.openBookDetailsSource(sourceIndex)
    }
}
