import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

// The maintenance area's first page.
Page {
    background: Rectangle {
        color: Material.background
    }

    Column {
        anchors.centerIn: parent
        spacing: 16

        Label {
            anchors.horizontalCenter: parent.horizontalCenter
            font.pointSize: 20
            font.bold: true
            text: "Maintenance"
        }
        Label {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "S/N " + manager.deviceId + "   Validator: " + validatorManager.status
        }
        Repeater {
            model: [
                { label: "Logout", action: function() { manager.settingsLogoutRequest() } },
                { label: "Reboot", action: function() { manager.rebootRequest() } },
                { label: "Shutdown", action: function() { manager.shutdownRequest() } },
                { label: "Exit", action: function() { manager.exitRequest() } }
            ]
            delegate: Button {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 300
                height: 60
                text: modelData.label
                onClicked: modelData.action()
            }
        }
    }
}
