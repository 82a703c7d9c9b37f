import QtQuick 2.15
import QtQuick.Controls 2.15
import "../../controls"

// The validator service's settings and the two of the program that go with them. "Save" only
// while something differs from what is in force.
SettingsPane {
    id: page

    objectName: "ValidatorConfig"

    readonly property var config: validatorManager.config
    readonly property bool changed: urlField.text !== String(config.obuUrl)
                                    || passback.value !== config.passbackSecs
                                    || shutdownDelay.value !== manager.shutdownDelaySec
                                    || qrPassback.checked !== config.passbackQrEnabled
                                    || errorDescription.checked !== manager.showErrorDesc

    SettingRow {
        label: manager.dynTr + qsTr("OBC URL")
    }
    TextField {
        id: urlField

        objectName: "obuUrlField"
        width: parent.width
        text: String(page.config.obuUrl)
        inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoPredictiveText
        onAccepted: Qt.inputMethod.hide()
    }
    SettingRow {
        label: manager.dynTr + qsTr("Passback Time (sec)")
        SpinBox {
            id: passback

            objectName: "passbackSpin"
            editable: true
            from: 0
            to: 86400
            stepSize: 1
            value: page.config.passbackSecs
            Keys.onReturnPressed: Qt.inputMethod.hide()
            Keys.onEnterPressed: Qt.inputMethod.hide()
        }
    }
    SettingRow {
        label: manager.dynTr + qsTr("Shutdown Delay (sec)")
        tip: "The delay, in seconds, after which the system\n"
             + "will start the shutdown sequence, providing that\n"
             + "the ignition has been turned off (max=900 sec)."
        SpinBox {
            id: shutdownDelay

            objectName: "shutdownDelaySpin"
            editable: true
            from: 5
            to: 900
            stepSize: 5
            value: manager.shutdownDelaySec
            Keys.onReturnPressed: Qt.inputMethod.hide()
            Keys.onEnterPressed: Qt.inputMethod.hide()
        }
    }
    SettingRow {
        label: manager.dynTr + qsTr("QR Passback Enabled")
        FormSwitch {
            id: qrPassback

            objectName: "qrPassbackSwitch"
            checked: page.config.passbackQrEnabled
        }
    }
    SettingRow {
        label: manager.dynTr + qsTr("Show Error Description")
        tip: "If enabled, a full error description will\n"
             + "be displayed in the 'Out-of-Order' screen\n"
             + "instead of just an error code."
        FormSwitch {
            id: errorDescription

            objectName: "errorDescriptionSwitch"
            checked: manager.showErrorDesc
        }
    }

    footer: [
        FormButton {
            objectName: "backButton"
            width: page.availableWidth * 0.38
            text: manager.dynTr + qsTr("Back")
            onActiveFocusChanged: if (activeFocus) Qt.inputMethod.hide()
            onClicked: {
                // Edits not saved give way to the service's values.
                validatorManager.refreshConfig()
                page.StackView.view.pop()
            }
        },
        FormButton {
            highlighted: true
            objectName: "saveButton"
            width: page.availableWidth * 0.38
            enabled: page.changed
            text: manager.dynTr + qsTr("Save")
            onActiveFocusChanged: if (activeFocus) Qt.inputMethod.hide()
            onClicked: {
                page.config.obuUrl = urlField.text
                page.config.passbackSecs = passback.value
                page.config.passbackQrEnabled = qrPassback.checked
                validatorManager.saveConfig()
                manager.shutdownDelaySec = shutdownDelay.value
                manager.showErrorDesc = errorDescription.checked
                page.StackView.view.pop()
            }
        }
    ]
}
