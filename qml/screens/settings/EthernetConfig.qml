import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../controls"

// The Ethernet port's addressing: "auto", or "manual" with static addresses, checked before they
// go to the network service.
SettingsPane {
    id: page

    objectName: "EthernetConfig"

    readonly property var ethernet: network.ethernet
    readonly property bool manual: modeBox.currentText === "manual"
    readonly property color errorColor: Material.theme === Material.Dark
                                        ? Material.color(Material.Red, Material.Shade200)
                                        : Qt.darker(Material.color(Material.Red), 1.9)

    // Empty counts as valid: an unused gateway or name server is left blank.
    function isAddress(text) {
        return text === "" || /^((25[0-5]|(2[0-4]|1\d|[1-9]|)\d)\.?\b){4}$/.test(text)
    }
    // The first problem of the form, or "" when it can be saved.
    function formError() {
        if (!manual)
            return ""
        if (addressField.text === "")
            return manager.dynTr + qsTr("IPv4 address cannot be empty in 'manual' mode")
        if (maskField.text === "")
            return manager.dynTr + qsTr("IPv4 netmask cannot be empty in 'manual' mode")
        if (!isAddress(addressField.text))
            return manager.dynTr + qsTr("IPv4 address is not a valid IP address")
        if (!isAddress(maskField.text))
            return manager.dynTr + qsTr("IPv4 netmask is not a valid IP address")
        if (!isAddress(gatewayField.text))
            return manager.dynTr + qsTr("IPv4 gateway is not a valid IP address")
        if (!isAddress(dns0Field.text))
            return manager.dynTr + qsTr("IPv4 DNS #0 is not a valid IP address")
        if (!isAddress(dns1Field.text))
            return manager.dynTr + qsTr("IPv4 DNS #1 is not a valid IP address")
        return ""
    }

    InfoGroup {
        title: manager.dynTr + qsTr("Ethernet Configuration")
    }
    SettingRow {
        label: manager.dynTr + qsTr("Mode")
        FormComboBox {
            id: modeBox

            objectName: "modeBox"
            model: ["auto", "manual"]
            currentIndex: page.ethernet.method === "auto" ? 0 : 1
            onActivated: page.ethernet.method = currentText
        }
    }
    SettingRow {
        label: "IPV4 Address"
        enabled: page.manual
        TextField {
            id: addressField

            // Judged when the technician leaves the field, not on every keystroke.
            property bool valid: true

            objectName: "addressField"
            width: page.availableWidth * 0.45
            text: page.ethernet.config.address
            color: !enabled ? Material.hintTextColor : valid ? Material.foreground : page.errorColor
            inputMethodHints: Qt.ImhFormattedNumbersOnly | Qt.ImhNoPredictiveText
            onAccepted: Qt.inputMethod.hide()
            onEditingFinished: valid = page.isAddress(text)
        }
    }
    SettingRow {
        label: "IPV4 Netmask"
        enabled: page.manual
        TextField {
            id: maskField

            // Judged when the technician leaves the field, not on every keystroke.
            property bool valid: true

            objectName: "maskField"
            width: page.availableWidth * 0.45
            text: page.ethernet.config.mask
            color: !enabled ? Material.hintTextColor : valid ? Material.foreground : page.errorColor
            inputMethodHints: Qt.ImhFormattedNumbersOnly | Qt.ImhNoPredictiveText
            onAccepted: Qt.inputMethod.hide()
            onEditingFinished: valid = page.isAddress(text)
        }
    }
    SettingRow {
        label: "IPV4 Gateway"
        enabled: page.manual
        TextField {
            id: gatewayField

            // Judged when the technician leaves the field, not on every keystroke.
            property bool valid: true

            objectName: "gatewayField"
            width: page.availableWidth * 0.45
            text: page.ethernet.config.gateway
            color: !enabled ? Material.hintTextColor : valid ? Material.foreground : page.errorColor
            inputMethodHints: Qt.ImhFormattedNumbersOnly | Qt.ImhNoPredictiveText
            onAccepted: Qt.inputMethod.hide()
            onEditingFinished: valid = page.isAddress(text)
        }
    }
    SettingRow {
        label: "DNS #0"
        enabled: page.manual
        TextField {
            id: dns0Field

            // Judged when the technician leaves the field, not on every keystroke.
            property bool valid: true

            objectName: "dns0Field"
            width: page.availableWidth * 0.45
            text: page.ethernet.config.dns0
            color: !enabled ? Material.hintTextColor : valid ? Material.foreground : page.errorColor
            inputMethodHints: Qt.ImhFormattedNumbersOnly | Qt.ImhNoPredictiveText
            onAccepted: Qt.inputMethod.hide()
            onEditingFinished: valid = page.isAddress(text)
        }
    }
    SettingRow {
        label: "DNS #1"
        enabled: page.manual
        TextField {
            id: dns1Field

            // Judged when the technician leaves the field, not on every keystroke.
            property bool valid: true

            objectName: "dns1Field"
            width: page.availableWidth * 0.45
            text: page.ethernet.config.dns1
            color: !enabled ? Material.hintTextColor : valid ? Material.foreground : page.errorColor
            inputMethodHints: Qt.ImhFormattedNumbersOnly | Qt.ImhNoPredictiveText
            onAccepted: Qt.inputMethod.hide()
            onEditingFinished: valid = page.isAddress(text)
        }
    }

    CustomPopup {
        id: messagePopup

        objectName: "messagePopup"
    }

    footer: [
        FormButton {
            objectName: "backButton"
            width: page.availableWidth * 0.38
            text: manager.dynTr + qsTr("Back")
            onActiveFocusChanged: if (activeFocus) Qt.inputMethod.hide()
            onClicked: page.StackView.view.pop()
        },
        FormButton {
            objectName: "saveButton"
            highlighted: true
            width: page.availableWidth * 0.38
            text: manager.dynTr + qsTr("Save")
            onActiveFocusChanged: if (activeFocus) Qt.inputMethod.hide()
            onClicked: {
                Qt.inputMethod.hide()
                var error = page.formError()
                if (error !== "") {
                    messagePopup.text = error
                    messagePopup.open()
                    return
                }
                var config = page.ethernet.config
                config.address = addressField.text
                config.mask = maskField.text
                config.gateway = gatewayField.text
                config.dns0 = dns0Field.text
                config.dns1 = dns1Field.text
                page.ethernet.save()
                page.StackView.view.pop()
            }
        }
    ]
}
