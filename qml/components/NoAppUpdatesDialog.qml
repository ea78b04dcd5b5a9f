import QtQuick 2.13
import QtQuick.Dialogs 1.2

// Answers an update check the user asked for when it found nothing newer, or says why the
// check could not tell.
MessageDialog {
    // Empty when the check worked.
    property string failure: ""

    objectName: "noUpdatesMessage"
    title: ""
    text: failure === "" ? qsTr("No updates available") : qsTr("Could not check for updates")
    informativeText: failure
    icon: failure === "" ? StandardIcon.Information : StandardIcon.Warning
    modality: Qt.ApplicationModal
}
