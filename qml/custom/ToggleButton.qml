import QtQuick 2.13
import "../theme"

// A filter button: "selected", "notselected" or "blueglow" (a call for attention).
StyledButton {
    id: control
    state: "notselected"
    radius: 4

    states: [
        State {
            name: "selected"
            PropertyChanges { target: control; backgroundColor: Theme.activeFilterBackground; textColor: "#fff"; glowEnabled: false }
        },
        State {
            name: "notselected"
            PropertyChanges { target: control; backgroundColor: Theme.inactiveFilterBackground; textColor: "#030303"; glowEnabled: false }
        },
        State {
            name: "blueglow"
            PropertyChanges { target: control; backgroundColor: Theme.downloadBackground; textColor: "#fff"; glowEnabled: true }
        }
    ]

    transitions: Transition {
        ColorAnimation { properties: "backgroundColor,textColor"; duration: 200 }
    }
}
