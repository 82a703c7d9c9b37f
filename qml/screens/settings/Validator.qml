import QtQuick 2.15
import QtQuick.Controls 2.15
import "../../controls"
import QtQuick.Controls.Material 2.15

// What the validator service reports of itself, its readers and its SAM.
SettingsPane {
    id: page

    objectName: "Validator"

    readonly property var rfid: validatorManager.rfid
    readonly property var barcode: validatorManager.barcode
    readonly property var sam: rfid ? rfid.sam : null
    // Amber while starting or limited, red when offline, green when online; darker on the light
    // theme, where the plain shades are hard to read.
    readonly property color statusColor: {
        var colour
        switch (validatorManager.status) {
        case "init": case "out-of-service": case "degraded":
            colour = Material.color(Material.Amber)
            break
        case "offline":
            colour = Material.color(Material.Red)
            break
        default:
            colour = Material.color(Material.Green)
        }
        return Material.theme === Material.Dark ? colour : Qt.darker(colour, 1.9)
    }

    function text(value) {
        return value === undefined || value === null ? "" : String(value)
    }

    InfoGroup {
        title: "Validator"
        InfoRow { label: manager.dynTr + qsTr("Serial Number"); value: manager.deviceId }
        InfoRow { label: manager.dynTr + qsTr("Vehicle"); value: validatorManager.vehicle }
        InfoRow { label: manager.dynTr + qsTr("Version"); value: validatorManager.version }
        InfoRow {
            objectName: "statusRow"
            label: manager.dynTr + qsTr("Status")
            value: validatorManager.status
            valueColor: page.statusColor
        }
        InfoRow {
            objectName: "reasonRow"
            label: manager.dynTr + qsTr("Reason")
            value: validatorManager.reason
            valueColor: page.statusColor
        }
    }
    InfoGroup {
        title: "RFID"
        InfoRow { label: manager.dynTr + qsTr("Firmware"); value: page.text(rfid && rfid.firmware) }
        InfoRow {
            label: manager.dynTr + qsTr("Model")
            value: rfid ? rfid.model + " " + rfid.manufacturer : ""
        }
        InfoRow { label: manager.dynTr + qsTr("UID"); value: page.text(rfid && rfid.deviceUid) }
        InfoRow { label: manager.dynTr + qsTr("State"); value: page.text(rfid && rfid.state) }
        InfoRow { label: manager.dynTr + qsTr("Error"); value: page.text(rfid && rfid.error) }
    }
    InfoGroup {
        title: "Barcode"
        InfoRow {
            label: manager.dynTr + qsTr("Firmware")
            value: page.text(barcode && barcode.firmware)
        }
        InfoRow {
            label: manager.dynTr + qsTr("Model")
            value: barcode ? barcode.model + " " + barcode.manufacturer : ""
        }
        InfoRow {
            label: manager.dynTr + qsTr("Active")
            value: barcode ? String(barcode.active) : ""
        }
        InfoRow {
            label: manager.dynTr + qsTr("Enabled")
            value: barcode ? String(barcode.enabled) : ""
        }
    }
    InfoGroup {
        title: "SAM"
        InfoRow { label: manager.dynTr + qsTr("Slot"); value: sam ? String(sam.slot) : "" }
        InfoRow { label: manager.dynTr + qsTr("Name"); value: page.text(sam && sam.name) }
        InfoRow { label: manager.dynTr + qsTr("Version"); value: page.text(sam && sam.version) }
        InfoRow { label: manager.dynTr + qsTr("UID"); value: page.text(sam && sam.uid) }
        InfoRow { label: manager.dynTr + qsTr("Mode"); value: page.text(sam && sam.mode) }
        InfoRow {
            label: manager.dynTr + qsTr("Unlocked")
            value: sam ? String(sam.unlocked) : ""
        }
        InfoRow {
            label: manager.dynTr + qsTr("Production")
            value: sam ? Qt.formatDate(sam.production, "yyyy-MM-dd") : ""
        }
    }

    footer: FormButton {
        objectName: "configureButton"
        width: page.availableWidth * 0.8
        text: manager.dynTr + qsTr("Configure")
        onClicked: page.StackView.view.push("qrc:/qml/screens/settings/ValidatorConfig.qml")
    }
}
