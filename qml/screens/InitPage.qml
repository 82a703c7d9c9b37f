import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../controls"

// The serial-number page shown while the unit has no serial number.
Pane {
    id: page

    background: null
    padding: 0

    // A "C" or a "K" and eight digits, nothing else.
    function isValidSerial(text) {
        return /^[CK][0-9]{8}$/.test(text)
    }
    function askConfirmation() {
        Qt.inputMethod.hide()
        confirm.text = manager.dynTr + qsTr("Please confirm the serial number") + "\n\n" + serial.text
        confirm.open()
    }

    Flickable {
        anchors.fill: parent
        anchors.bottomMargin: keyboard.visible ? keyboard.height : 0
        contentHeight: column.implicitHeight + 80
        clip: true

        QuietPanel {
            x: column.x - 25
            y: column.y - 25
            width: column.width + 50
            height: column.height + 50
        }

        Column {
            id: column

            anchors.horizontalCenter: parent.horizontalCenter
            y: 60
            spacing: 20

            Label {
                width: 350
                horizontalAlignment: Text.AlignHCenter
                font.bold: true
                font.pointSize: 16
                text: "Enter Serial Number"
            }
            TextField {
                id: serial

                objectName: "serialField"
                width: 350
                font.pointSize: 18
                horizontalAlignment: Text.AlignHCenter
                placeholderText: "K00000000"
                text: manager.deviceId
                inputMethodHints: Qt.ImhUppercaseOnly | Qt.ImhNoPredictiveText
                Keys.onReturnPressed: page.askConfirmation()
                Keys.onEnterPressed: page.askConfirmation()
            }
            Label {
                objectName: "hint"
                width: 350
                visible: !page.isValidSerial(serial.text)
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                color: Theme.errorText
                text: "Must start with 'C' or 'K' followed by 8 digits"
            }
            Button {
                objectName: "saveButton"
                anchors.horizontalCenter: parent.horizontalCenter
                width: 300
                height: 60
                enabled: page.isValidSerial(serial.text)
                highlighted: true
                text: manager.dynTr + qsTr("SAVE")
                onClicked: page.askConfirmation()
            }
        }
    }

    CustomPopup {
        id: confirm

        objectName: "confirmPopup"
        dialog: true
        onButtonYesPressed: manager.saveDeviceIdRequest(serial.text)
    }

    Loader {
        id: keyboard

        objectName: "keyboard"
        width: page.width
        height: 250
        y: Qt.inputMethod.visible ? page.height - height : page.height
        visible: status === Loader.Ready && y < page.height
        source: "SerialKeyboard.qml"

        Behavior on y {
            NumberAnimation {
                duration: 150
                easing.type: Easing.InOutQuad
            }
        }
    }
}
