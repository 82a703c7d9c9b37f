import QtQuick 2.15
import QtQuick.Controls 2.15
import "../../controls"
import QtQuick.Controls.Material 2.15

// The display: brightness, the ambient light, the cursor, the theme and the display-off delay.
// The board reports its values every second while the page is open.
SettingsPane {
    id: page

    objectName: "Display"

    readonly property bool manual: modeBox.currentText === "manual"

    Component.onCompleted: board.monitor(1000)
    Component.onDestruction: board.monitor(0)

    SettingRow {
        label: manager.dynTr + qsTr("Brightness Mode")
        FormComboBox {
            id: modeBox

            objectName: "brightnessModeBox"
            model: ["auto", "manual"]
            currentIndex: board.displayBrightnessMode === "auto" ? 0 : 1
            // A choice of the technician's, not the page showing the board's mode.
            onActivated: board.setDisplayBrightnessMode(currentText)
        }
    }
    SliderRow {
        objectName: "brightnessRow"
        label: manager.dynTr + qsTr("Display Brightness")
        enabled: page.manual
        value: board.displayBrightness
        onReleased: board.setDisplayBrightness(value)
    }
    InfoRow {
        label: manager.dynTr + qsTr("Ambient Light Sensor")
        value: board.ambientLightSensor
    }
    SettingRow {
        label: manager.dynTr + qsTr("Show Cursor")
        FormSwitch {
            objectName: "cursorSwitch"
            checked: manager.showCursor
            onToggled: manager.showCursor = checked
        }
    }
    SettingRow {
        label: manager.dynTr + qsTr("Dark Theme")
        FormSwitch {
            objectName: "darkThemeSwitch"
            checked: ApplicationWindow.window
                     && ApplicationWindow.window.Material.theme === Material.Dark
            onToggled: {
                console.info(checked ? "[QML] Switching to dark theme"
                                    : "[QML] Switching to light theme")
                ApplicationWindow.window.Material.theme = checked ? Material.Dark : Material.Light
            }
        }
    }
    SettingRow {
        label: manager.dynTr + qsTr("Display OFF (min)")
        tip: "The interval, in minutes, after which \n"
             + "the display will turn off , if in Out-\n"
             + "of-Order or Out-of-Service state."
        SpinBox {
            objectName: "displayOffSpin"
            editable: true
            from: 0
            to: 86400
            stepSize: 1
            value: manager.displayOffMin
            onValueChanged: manager.displayOffMin = value
            Keys.onReturnPressed: Qt.inputMethod.hide()
            Keys.onEnterPressed: Qt.inputMethod.hide()
        }
    }
}
