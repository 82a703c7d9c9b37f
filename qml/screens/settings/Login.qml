import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

// The maintenance PIN page.
Page {
    id: page

    background: null

    onVisibleChanged: pin.text = ""

    Connections {
        target: manager
        function onSettingsAccessGranted() {
            if (page.visible)
                manager.screen = "Settings"
        }
        function onSettingsAccessDenied() {
            pin.text = ""
            denied.visible = true
        }
    }

    Column {
        anchors.centerIn: parent
        spacing: 24

        Label {
            anchors.horizontalCenter: parent.horizontalCenter
            font.pointSize: 22
            font.bold: true
            text: manager.dynTr + qsTr("LOGIN")
        }
        TextField {
            id: pin

            objectName: "pinField"
            width: 300
            echoMode: TextInput.Password
            inputMethodHints: Qt.ImhDigitsOnly
            horizontalAlignment: Text.AlignHCenter
            placeholderText: manager.dynTr + qsTr("Pin")
            onTextChanged: denied.visible = false
            onAccepted: manager.settingsLoginRequest(text)
        }
        Label {
            id: denied

            anchors.horizontalCenter: parent.horizontalCenter
            visible: false
            color: "#db4a37"
            text: "Wrong PIN"
        }
        Button {
            anchors.horizontalCenter: parent.horizontalCenter
            width: 300
            height: 60
            highlighted: true
            text: "OK"
            onClicked: manager.settingsLoginRequest(pin.text)
        }
    }
}
