import QtQuick 2.13
import QtQuick.Dialogs 1.2

// Answers an update check the user asked for when it found nothing newer.
MessageDialog {
    objectName: "noUpdatesMessage"
    title: ""
    text: qsTr("No updates available")
    icon: StandardIcon.Information
    modality: Qt.ApplicationModal
}
