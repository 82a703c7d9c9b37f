import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../controls"

// Language, locale, time zone and time synchronisation. The clock service is asked for its NTP
// state when the page opens.
SettingsPane {
    id: page

    objectName: "Region"

    readonly property var clock: manager.clock
    property date now: new Date()

    Component.onCompleted: clock.refresh()

    Timer {
        interval: 1000
        running: true
        repeat: true
        onTriggered: page.now = new Date()
    }

    SettingRow {
        label: manager.dynTr + qsTr("Locale")
        FormComboBox {
            objectName: "localeBox"
            model: ["en_US", "en_IE", "el_GR"]
            currentIndex: model.indexOf(manager.language)
            onActivated: manager.language = currentText
        }
    }
    SettingRow {
        label: manager.dynTr + qsTr("Language")
        Row {
            spacing: 12

            Label {
                objectName: "languageName"
                anchors.verticalCenter: parent.verticalCenter
                font.bold: true
                text: Qt.locale(manager.language).nativeLanguageName
            }
            // The flag PNGs are already cut round.
            Image {
                objectName: "languageFlag"
                width: 40
                height: 40
                sourceSize: Qt.size(40, 40)
                fillMode: Image.PreserveAspectFit
                source: manager.language === "el_GR" ? "qrc:/qml/images/Flags/gr.png"
                                                     : "qrc:/qml/images/Flags/us.png"
            }
        }
    }
    SettingRow {
        label: manager.dynTr + qsTr("Currency Format")
        Label {
            objectName: "currencyText"
            font.bold: true
            // The page inherits the window's locale.
            text: Number(0.99).toLocaleCurrencyString(page.locale)
        }
    }
    SettingRow {
        label: manager.dynTr + qsTr("Time Format")
        Label {
            objectName: "timeText"
            font.bold: true
            text: page.now.toLocaleString(Qt.locale(), "d MMM yy, hh:mm:ss t")
        }
    }
    SettingRow {
        label: manager.dynTr + qsTr("Timezone")
        FormComboBox {
            objectName: "timezoneBox"
            width: page.availableWidth * 0.5
            model: page.clock.timezones
            currentIndex: model.indexOf(page.clock.timezone)
            onActivated: page.clock.timezone = currentText
        }
    }
    SettingRow {
        label: manager.dynTr + qsTr("NTP server")
        TextField {
            objectName: "ntpServerField"
            width: page.availableWidth * 0.5
            text: page.clock.ntpServer
            inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoPredictiveText
            onAccepted: Qt.inputMethod.hide()
            onEditingFinished: page.clock.ntpServer = text
        }
    }
    SettingRow {
        label: manager.dynTr + qsTr("NTP Active")
        FormSwitch {
            objectName: "ntpSwitch"
            checked: page.clock.ntpEnabled
            // The service's answer moves the switch back if it refuses.
            onToggled: page.clock.ntpEnabled = checked
        }
    }
    SettingRow {
        label: manager.dynTr + qsTr("NTP Synced")
        Rectangle {
            objectName: "ntpSyncedLamp"
            width: 30
            height: 30
            radius: 15
            color: page.clock.ntpSynced ? Material.color(Material.Green)
                                        : Material.color(Material.Grey, Material.Shade700)
            border.color: Material.color(Material.Grey)
        }
    }

    footer: FormButton {
        objectName: "ntpSyncButton"
        highlighted: true
        width: page.availableWidth * 0.8
        text: manager.dynTr + qsTr("NTP SYNC")
        onClicked: page.clock.ntpSync()
    }
}
