import QtQuick 2.15
import QtQuick.Controls 2.15
import "../../controls"

// The first page of the maintenance shell: one row per settings page.
ListView {
    id: list

    signal chosen(string name, string page)

    readonly property var entries: [
        { title: "Validator", hint: "Validator information and settings",
          page: "qrc:/qml/screens/settings/Validator.qml", icon: "qrc:/qml/images/Icons/ticket.svg" },
        { title: "Diagnostics", hint: "System health and diagnostic",
          page: "qrc:/qml/screens/settings/Diagnostics.qml",
          icon: "qrc:/qml/images/Icons/diagnostic.svg" },
        { title: "Region", hint: "Date, time and languange settings",
          page: "qrc:/qml/screens/settings/Region.qml", icon: "qrc:/qml/images/Icons/region.svg" },
        { title: "Audio", hint: "Adjust audio volume",
          page: "qrc:/qml/screens/settings/Audio.qml", icon: "qrc:/qml/images/Icons/audio.svg" },
        { title: "Display", hint: "Adjust display brightness and mode",
          page: "qrc:/qml/screens/settings/Display.qml",
          icon: "qrc:/qml/images/Icons/brightness-2.svg" },
        { title: "Network", hint: "Configure Ethernet, WiFi and Modem",
          page: "qrc:/qml/screens/settings/Network.qml", icon: "qrc:/qml/images/Icons/network.svg" },
        { title: "Update", hint: "Check for software and sytem updates",
          page: "qrc:/qml/screens/settings/Update.qml", icon: "qrc:/qml/images/Icons/update.svg" },
        { title: "Event Log", hint: "Examine system events and alarms",
          page: "qrc:/qml/screens/settings/EventLog.qml", icon: "qrc:/qml/images/Icons/log.svg" }
    ]

    objectName: "SettingsList"
    StackView.onActivated: console.info("[QML] Settings page shown : " + objectName)

    model: entries
    interactive: false
    delegate: RowButton {
        objectName: "row_" + modelData.title
        width: list.width
        height: list.height / 8
        icon: modelData.icon
        title: modelData.title
        hint: modelData.hint
        onClicked: list.chosen(modelData.title, modelData.page)
    }
}
