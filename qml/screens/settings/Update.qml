import QtQuick 2.15
import QtQuick.Controls 2.15
import "../../controls"
import QtQuick.Controls.Material 2.15

// The software update: installed and pending versions, the update's state and progress.
SettingsPane {
    id: page

    objectName: "Update"

    readonly property var update: manager.update
    // Everything on the page follows this one value.
    property string status: update.status
    readonly property bool installable: status === "Ready to install"
    readonly property color statusColor: {
        switch (status) {
        case "Disconnected":
            return tone(Material.Red)
        case "Ready to install":
            return tone(Material.Green)
        case "Downloading": case "Installing":
            return tone(Material.Amber)
        default:
            return Material.foreground
        }
    }

    // A palette colour that keeps 4.5:1 against the page: a light shade on the dark theme,
    // a darkened one on the light theme.
    function tone(colour) {
        return Material.theme === Material.Dark ? Material.color(colour, Material.Shade200)
                                                : Qt.darker(Material.color(colour), 1.9)
    }

    InfoRow {
        objectName: "statusRow"
        label: manager.dynTr + qsTr("Status")
        value: page.status
        valueColor: page.statusColor
    }
    InfoRow {
        objectName: "currentRow"
        label: manager.dynTr + qsTr("Current Version")
        value: page.update.current !== "" ? page.update.current : "None"
    }
    InfoRow {
        objectName: "pendingRow"
        label: manager.dynTr + qsTr("Pending Version")
        value: page.update.pending !== "" ? page.update.pending : "None"
    }
    InfoRow {
        label: manager.dynTr + qsTr("Progress")
    }
    ProgressBar {
        objectName: "progressBar"
        width: parent.width
        from: 0
        to: 100
        value: page.update.progressPercent
    }
    Label {
        objectName: "progressMessage"
        width: parent.width
        wrapMode: Text.WordWrap
        text: page.update.progressMessage
    }

    footer: [
        FormButton {
            objectName: "checkButton"
            width: page.availableWidth * 0.38
            text: manager.dynTr + qsTr("Check")
            onClicked: page.update.check()
        },
        FormButton {
            objectName: "installButton"
            highlighted: true
            width: page.availableWidth * 0.38
            enabled: page.installable
            text: manager.dynTr + qsTr("Install")
            onClicked: page.update.install()
        }
    ]
}
