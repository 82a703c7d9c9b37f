import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../controls"

// The primary connection and the Ethernet port, on two tabs. The colours follow the service's
// own state words, which are never translated, so they hold in every interface language.
SettingsPane {
    id: page

    objectName: "Network"

    readonly property var primary: network.primaryConnection
    readonly property var ethernet: network.ethernet

    // A palette colour readable on either theme: pale on the dark one, deep on the light one.
    function shade(name) {
        return Material.theme === Material.Dark ? Material.color(name, Material.Shade200)
                                                : Qt.darker(Material.color(name), 1.9)
    }
    function stateColor(state) {
        switch (state) {
        case "Connected":
            return shade(Material.Green)
        case "Disconnected":
            return shade(Material.Red)
        default:
            return shade(Material.Amber)
        }
    }
    function connectivityColor(connectivity) {
        switch (connectivity) {
        case "Full":
            return shade(Material.Green)
        case "Portal": case "Limited":
            return shade(Material.Amber)
        default:
            return shade(Material.Red)
        }
    }

    TabBar {
        id: tabs

        objectName: "networkTabs"
        width: parent.width
        currentIndex: swipe.currentIndex
        // Flat, without the style's elevation layer.
        background: Rectangle {
            color: page.Material.backgroundColor
        }

        PageTab { text: "General" }
        PageTab { text: "Ethernet" }
    }
    SwipeView {
        id: swipe

        objectName: "networkSwipe"
        width: parent.width
        height: Math.max(general.implicitHeight, wired.implicitHeight)
        clip: true
        currentIndex: tabs.currentIndex

        Column {
            id: general

            spacing: 12

            InfoGroup {
                title: manager.dynTr + qsTr("Primary Connection")
                InfoRow {
                    objectName: "connectionStateRow"
                    label: manager.dynTr + qsTr("Connection State")
                    value: network.connectionState
                    valueColor: page.stateColor(value)
                }
                InfoRow {
                    objectName: "connectivityRow"
                    label: manager.dynTr + qsTr("Connectivity")
                    value: network.connectivity
                    valueColor: page.connectivityColor(value)
                }
                InfoRow { label: manager.dynTr + qsTr("Hostname"); value: network.hostname }
                InfoRow {
                    label: manager.dynTr + qsTr("Connection Type")
                    value: page.primary.type
                }
                InfoRow {
                    label: manager.dynTr + qsTr("Interface")
                    value: page.primary.interface
                }
                InfoRow {
                    label: manager.dynTr + qsTr("IPv4 Address")
                    value: page.primary.ipv4.address
                }
                InfoRow {
                    label: manager.dynTr + qsTr("IPv4 Netmask")
                    value: page.primary.ipv4.mask
                }
                InfoRow {
                    label: manager.dynTr + qsTr("IPv4 Gateway")
                    value: page.primary.ipv4.gateway
                }
                InfoRow { label: manager.dynTr + qsTr("IPv4 DNS"); value: page.primary.ipv4.dns0 }
            }
        }
        Column {
            id: wired

            spacing: 12

            InfoGroup {
                title: manager.dynTr + qsTr("Connection State")
                InfoRow {
                    objectName: "ethernetStateRow"
                    label: manager.dynTr + qsTr("State")
                    value: page.ethernet.state
                    valueColor: page.stateColor(value)
                }
                InfoRow {
                    label: manager.dynTr + qsTr("IPv4 Address")
                    value: page.ethernet.ipv4.address
                }
                InfoRow {
                    label: manager.dynTr + qsTr("IPv4 Netmask")
                    value: page.ethernet.ipv4.mask
                }
                InfoRow {
                    label: manager.dynTr + qsTr("IPv4 Gateway")
                    value: page.ethernet.ipv4.gateway
                }
                InfoRow {
                    label: manager.dynTr + qsTr("IPv4 DNS#0")
                    value: page.ethernet.ipv4.dns0
                }
                InfoRow {
                    label: manager.dynTr + qsTr("IPv4 DNS#1")
                    value: page.ethernet.ipv4.dns1
                }
                InfoRow { label: manager.dynTr + qsTr("MAC"); value: page.ethernet.mac }
                InfoRow {
                    label: manager.dynTr + qsTr("Interface")
                    value: page.ethernet.interface
                }
                InfoRow {
                    label: manager.dynTr + qsTr("State Change Reason")
                    value: page.ethernet.reason
                }
            }
            FormButton {
                objectName: "configureButton"
                highlighted: true
                width: parent.width
                text: manager.dynTr + qsTr("Configure")
                onClicked: page.StackView.view.push("qrc:/qml/screens/settings/EthernetConfig.qml")
            }
        }
    }
}
