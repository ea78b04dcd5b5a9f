import QtQuick 2.13
import QtQuick.Controls 2.13
import "../theme"
import "../custom"

// The screen shown while no account is linked: log in with a key, or fetch the key first.
Rectangle {
    id: screen
    objectName: "loginWindow"
    color: "#232323"

    readonly property string wrongKeyText: qsTr("Wrong Key. Please try to re-enter the key.")
    property bool errorShown: false
    property bool busy: false
    property bool passwordVisible: false

    function doLogin() {
        // One request at a time, whichever key or button asked.
        if (busy)
            return
        if (getKeyView.visible) {
            doGetKey()
            return
        }
        loginButton.enabled = false
        errorShown = false
        busy = true
        errorText.text = wrongKeyText
        app.remoteAPI.doLogin(keyField.text)
    }

    function doGetKey() {
        if (busy)
            return
        getKeyButton.enabled = false
        errorShown = false
        busy = true
        app.remoteAPI.doGetKey(emailField.text, passwordField.text)
    }

    function setLoginViewVisible(visible) {
        keyView.visible = visible
        getMyKeyBlock.visible = visible
        getKeyView.visible = !visible
    }

    Connections {
        target: app.remoteAPI
        function onLoginFailed() {
            screen.errorShown = true
            screen.busy = false
            loginButton.enabled = true
        }
        function onLoginSucceeded() {
            loginButton.enabled = true
            keyField.text = ""
            screen.busy = false
        }
        function onGetKeySucceeded(key) {
            screen.busy = false
            getKeyButton.enabled = true
            keyField.text = key
            screen.errorShown = false
            screen.setLoginViewVisible(true)
        }
        function onGetKeyFailed(message) {
            screen.busy = false
            getKeyButton.enabled = true
            errorText.text = message
            screen.errorShown = true
        }
    }

    Row {
        id: stripe
        anchors { left: parent.left; right: parent.right; top: parent.top }
        height: 10
        Repeater {
            model: 6
            Rectangle {
                width: stripe.width / 6
                height: stripe.height
                color: index % 2 === 0 ? "#cf252b" : "#fff"
            }
        }
    }

    Flickable {
        id: scroll
        anchors { left: parent.left; right: parent.right; top: parent.top; topMargin: 10; bottom: parent.bottom }
        clip: true
        contentWidth: width
        contentHeight: Math.max(column.implicitHeight, height)
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {
            policy: scroll.contentHeight > scroll.height ? ScrollBar.AsNeeded : ScrollBar.AlwaysOff
            Accessible.name: qsTr("Scroll the page")
        }

        Column {
            id: column
            anchors.horizontalCenter: parent.horizontalCenter
            y: Math.max(0, (scroll.height - implicitHeight) / 2)
            spacing: 10

            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                //: Above the storefront's logo; "Library App" follows below it.
                text: qsTr("Welcome to the")
                color: "#fff"
                font.family: Theme.mainFontFamily
                font.weight: Font.DemiBold
                font.pixelSize: 18
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }

            Image {
                anchors.horizontalCenter: parent.horizontalCenter
                source: "qrc:///logos/qen-logo-white.png"
                height: 39
                width: height * 7.15
                fillMode: Image.PreserveAspectFit
                mipmap: true
                Accessible.role: Accessible.Graphic
                Accessible.name: qsTr("Quenlith")
            }

            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                //: Below the storefront's logo, after "Welcome to the".
                text: qsTr("Library App")
                color: "#fff"
                font.family: Theme.mainFontFamily
                font.weight: Font.DemiBold
                font.pixelSize: 18
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }

            Text {
                id: promo
                anchors.horizontalCenter: parent.horizontalCenter
                horizontalAlignment: Text.AlignHCenter
                textFormat: Text.PlainText
                text: qsTr("Easily sync your library from Tolvane and all Quenlith sites.\n"
                           + "To get started, link to your online account by entering an Application Key\nbellow.")
                color: "#fff"
                font.family: Theme.mainFontFamily
                font.weight: Font.DemiBold
                font.pixelSize: 12
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }

            Item {
                id: getMyKeyBlock
                objectName: "getMyKeyBlock"
                anchors.horizontalCenter: parent.horizontalCenter
                width: promo.width
                height: 22

                Text {
                    id: getMyKeyLink
                    objectName: "getMyKeyLink"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: qsTr("Get my Application Key")
                    color: Theme.linkOnDark
                    font.family: Theme.mainFontFamily
                    font.weight: Font.DemiBold
                    font.pixelSize: 12

                    FocusArea {
                        anchors.fill: parent
                        Accessible.role: Accessible.Link
                        Accessible.name: getMyKeyLink.text
                        Accessible.description: getMyKeyHint.text
                        onActivated: {
                            screen.setLoginViewVisible(false)
                            screen.errorShown = false
                        }
                    }
                }
                Text {
                    id: getMyKeyHint
                    anchors { horizontalCenter: parent.horizontalCenter; top: getMyKeyLink.bottom }
                    text: qsTr("(Login in to Tolvane usign the same email/password as for any other Quenlith site)")
                    color: "#fff"
                    font.family: Theme.mainFontFamily
                    font.weight: Font.Medium
                    font.pixelSize: 8
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }

            Row {
                id: errorRow
                objectName: "errorRow"
                anchors.horizontalCenter: parent.horizontalCenter
                // Hidden by moving it out of view, so that the layout does not jump.
                anchors.horizontalCenterOffset: initialised ? (screen.errorShown ? 0 : 2500) : 2540
                property bool initialised: false
                readonly property bool shown: screen.errorShown
                spacing: 5
                Component.onCompleted: initialised = true

                SvgImageHDPI {
                    anchors.verticalCenter: parent.verticalCenter
                    width: 12
                    height: 12
                    source: "qrc:///icons/icon-error.svg"
                }
                Text {
                    id: errorText
                    objectName: "errorText"
                    anchors.verticalCenter: parent.verticalCenter
                    color: Theme.errorTextOnDark
                    font.family: Theme.mainFontFamily
                    font.pixelSize: 12
                    text: screen.wrongKeyText
                    // Only while shown: the row is moved out of view, not hidden.
                    Accessible.role: Accessible.StaticText
                    Accessible.name: screen.errorShown ? text : ""
                    Accessible.ignored: !screen.errorShown
                }
            }

            Column {
                id: getKeyView
                objectName: "getKeyView"
                anchors.horizontalCenter: parent.horizontalCenter
                width: promo.width
                spacing: 5
                visible: false

                Text {
                    objectName: "backLink"
                    anchors.right: parent.right
                    textFormat: Text.RichText
                    text: qsTr("<a href=''><u>Back</u></a>")
                    linkColor: Theme.secondaryLinkOnDark
                    color: Theme.secondaryLinkOnDark
                    font.family: Theme.systemFontFamily
                    font.pixelSize: 12
                    onLinkActivated: back()
                    function back() {
                        screen.setLoginViewVisible(true)
                        screen.errorShown = false
                        emailField.text = ""
                        passwordField.text = ""
                    }
                    FocusArea {
                        objectName: "backLinkArea"
                        anchors.fill: parent
                        Accessible.role: Accessible.Link
                        Accessible.name: qsTr("Back")
                        onActivated: parent.back()
                    }
                }

                StyledTextField {
                    id: emailField
                    objectName: "emailField"
                    width: parent.width
                    echoMode: TextInput.Normal
                    placeholderText: qsTr("Enter your login here")
                    Accessible.name: qsTr("E-mail")
                    onAccepted: screen.doLogin()
                }

                Text {
                    objectName: "passwordToggle"
                    anchors.right: parent.right
                    textFormat: Text.RichText
                    text: screen.passwordVisible ? qsTr("<a href=''><u>Hide password</u></a>")
                                                 : qsTr("<a href=''><u>Show password</u></a>")
                    linkColor: Theme.secondaryLinkOnDark
                    color: Theme.secondaryLinkOnDark
                    font.family: Theme.systemFontFamily
                    font.pixelSize: 12
                    FocusArea {
                        objectName: "passwordToggleArea"
                        anchors.fill: parent
                        Accessible.role: Accessible.CheckBox
                        Accessible.checkable: true
                        Accessible.checked: screen.passwordVisible
                        Accessible.name: qsTr("Show password")
                        onActivated: screen.passwordVisible = !screen.passwordVisible
                    }
                }

                StyledTextField {
                    id: passwordField
                    objectName: "passwordField"
                    width: parent.width
                    echoMode: screen.passwordVisible ? TextInput.Normal : TextInput.Password
                    placeholderText: qsTr("Enter your password here")
                    Accessible.name: qsTr("Password")
                    // Qt keeps a password field's name to itself; readers say the description.
                    Accessible.description: qsTr("Password")
                    onAccepted: screen.doLogin()
                }

                StyledButton {
                    id: getKeyButton
                    objectName: "getKeyButton"
                    width: parent.width
                    height: 40
                    fontHeight: 16
                    text: qsTr("Get key")
                    onClicked: screen.doGetKey()
                }
            }

            Column {
                id: keyView
                objectName: "keyView"
                anchors.horizontalCenter: parent.horizontalCenter
                width: promo.width
                spacing: 5

                StyledTextField {
                    id: keyField
                    objectName: "keyField"
                    width: parent.width
                    echoMode: TextInput.Password
                    placeholderText: qsTr("Enter key...")
                    keyError: screen.errorShown
                    Accessible.name: qsTr("Application Key")
                    // Qt keeps a password field's name to itself; readers say the description.
                    Accessible.description: qsTr("Application Key")
                    onAccepted: screen.doLogin()
                }

                Item { width: 1; height: 36 }

                StyledButton {
                    id: loginButton
                    objectName: "loginButton"
                    width: parent.width
                    height: 40
                    fontHeight: 16
                    text: qsTr("Log In")
                    onClicked: screen.doLogin()
                }
            }

            Column {
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 10
                topPadding: 10

                Row {
                    anchors.horizontalCenter: parent.horizontalCenter
                    spacing: 10
                    Repeater {
                        model: ["tolvane", "mirethane", "orvanti", "quillavar"]
                        Image {
                            source: "qrc:///logos/" + modelData + "-logo-small.png"
                            height: 22
                            fillMode: Image.PreserveAspectFit
                            width: implicitHeight > 0 ? Math.round(height * implicitWidth / implicitHeight) : 0
                            mipmap: true
                        }
                    }
                }
                Row {
                    anchors.horizontalCenter: parent.horizontalCenter
                    spacing: 10
                    Repeater {
                        model: ["drennhollow", "tessaloom", "yarrowick"]
                        Image {
                            source: "qrc:///logos/" + modelData + "-logo-small.png"
                            height: 28
                            fillMode: Image.PreserveAspectFit
                            width: implicitHeight > 0 ? Math.round(height * implicitWidth / implicitHeight) : 0
                            mipmap: true
                        }
                    }
                }
            }
        }
    }

    // The key field waits for the key as soon as the screen shows, and again when the key view returns.
    function focusFirstField() {
        if (keyView.visible)
            keyField.forceActiveFocus()
        else
            emailField.forceActiveFocus()
    }
    StackView.onActivated: focusFirstField()
    Component.onCompleted: Qt.callLater(focusFirstField)
    Connections {
        target: keyView
        function onVisibleChanged() { screen.focusFirstField() }
    }

    SvgImageHDPI {
        id: busyIndicator
        objectName: "busyIndicator"
        anchors.centerIn: parent
        width: 48
        height: 48
        source: "qrc:///icons/loading-indicator.svg"
        visible: screen.busy
        rotate: visible
        Accessible.role: Accessible.Animation
        Accessible.name: qsTr("Signing in")
        Accessible.ignored: !visible
    }
}
