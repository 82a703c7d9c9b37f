import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtTest 1.15

// The region, network and Ethernet configuration pages against the real core (no broker, so
// the network values stay empty unless a test sets what the page binds to).
Item {
    id: top

    width: 480
    height: 800

    Component {
        id: stackComponent

        StackView {
            width: 480
            height: 730
            initialItem: Item {}
        }
    }

    TestCase {
        id: test

        name: "RegionNetwork"
        when: windowShown

        property var config: network.ethernet.config
        property var saved: ({})

        function create(file) {
            var component = Qt.createComponent(file)
            verify(component.status === Component.Ready, component.errorString())
            var object = createTemporaryObject(component, top, { width: 480, height: 730 })
            verify(object !== null)
            return object
        }
        // The configuration page pushed on a stack, as the network page does.
        function pushConfig() {
            var stack = createTemporaryObject(stackComponent, top)
            var page = stack.push("qrc:/qml/screens/settings/EthernetConfig.qml")
            verify(page !== null)
            tryCompare(stack, "busy", false)
            return page
        }
        function fill(page, values) {
            for (var name in values)
                findChild(page, name + "Field").text = values[name]
        }
        function choose(box, index) {
            box.currentIndex = index
            box.activated(index)
        }

        function initTestCase() {
            saved = { method: network.ethernet.method, address: config.address,
                      mask: config.mask, gateway: config.gateway, dns0: config.dns0,
                      dns1: config.dns1 }
        }
        function init() {
            manager.language = "en_IE"
        }
        function cleanup() {
            manager.language = "el_GR"
            network.ethernet.method = saved.method
            config.address = saved.address
            config.mask = saved.mask
            config.gateway = saved.gateway
            config.dns0 = saved.dns0
            config.dns1 = saved.dns1
        }

        function test_address_data() {
            return [
                { tag: "empty", text: "", valid: true },
                { tag: "plain", text: "192.168.1.10", valid: true },
                { tag: "netmask", text: "255.255.255.0", valid: true },
                { tag: "zeros", text: "0.0.0.0", valid: true },
                { tag: "300", text: "192.168.1.300", valid: false },
                { tag: "256", text: "256.1.1.1", valid: false },
                { tag: "leading zero", text: "192.168.01.1", valid: false },
                { tag: "three octets", text: "10.0.1", valid: false },
                { tag: "five octets", text: "10.0.0.1.2", valid: false },
                { tag: "trailing dot", text: "10.0.0.1.", valid: false },
                { tag: "no dots", text: "1234", valid: false },
                { tag: "letters", text: "10.0.a.1", valid: false },
                { tag: "blank", text: " ", valid: false }
            ]
        }
        function test_address(data) {
            var page = create("qrc:/qml/screens/settings/EthernetConfig.qml")
            compare(page.isAddress(data.text), data.valid)
        }

        function test_manualSave_data() {
            var good = { address: "192.168.1.10", mask: "255.255.255.0", gateway: "192.168.1.1",
                         dns0: "8.8.8.8", dns1: "" }
            function with_(changes) { return Object.assign({}, good, changes) }
            return [
                { tag: "empty address", fields: with_({ address: "" }),
                  error: "IPv4 address cannot be empty in 'manual' mode" },
                { tag: "empty netmask", fields: with_({ mask: "" }),
                  error: "IPv4 netmask cannot be empty in 'manual' mode" },
                // Emptiness is reported before any invalid field.
                { tag: "empty netmask, bad address", fields: with_({ address: "1.2.3.300", mask: "" }),
                  error: "IPv4 netmask cannot be empty in 'manual' mode" },
                { tag: "address 300", fields: with_({ address: "192.168.1.300" }),
                  error: "IPv4 address is not a valid IP address" },
                { tag: "bad netmask", fields: with_({ mask: "255.255.255.00" }),
                  error: "IPv4 netmask is not a valid IP address" },
                { tag: "bad gateway", fields: with_({ gateway: "192.168.1" }),
                  error: "IPv4 gateway is not a valid IP address" },
                { tag: "bad dns0", fields: with_({ dns0: "8.8.8.888" }),
                  error: "IPv4 DNS #0 is not a valid IP address" },
                { tag: "bad dns1", fields: with_({ dns1: "x" }),
                  error: "IPv4 DNS #1 is not a valid IP address" },
                { tag: "all valid", fields: good, error: "" },
                { tag: "no gateway nor dns", fields: with_({ gateway: "", dns0: "", dns1: "" }),
                  error: "" }
            ]
        }
        function test_manualSave(data) {
            var page = pushConfig()
            var stack = page.StackView.view
            choose(findChild(page, "modeBox"), 1)
            compare(network.ethernet.method, "manual")
            config.address = "10.9.9.9"
            fill(page, data.fields)

            mouseClick(findChild(page, "saveButton"))
            var popup = findChild(page, "messagePopup")
            if (data.error !== "") {
                tryCompare(popup, "opened", true)
                compare(popup.text, data.error)
                compare(config.address, "10.9.9.9") // nothing written, so nothing sent
                compare(stack.currentItem, page)
                popup.close()
                tryCompare(popup, "visible", false)
            } else {
                verify(!popup.visible)
                compare(config.address, data.fields.address)
                compare(config.mask, data.fields.mask)
                compare(config.gateway, data.fields.gateway)
                compare(config.dns0, data.fields.dns0)
                compare(config.dns1, data.fields.dns1)
                tryCompare(stack, "depth", 1)
            }
        }

        function test_autoSaveNeverComplains() {
            var page = pushConfig()
            var stack = page.StackView.view
            choose(findChild(page, "modeBox"), 0)
            compare(network.ethernet.method, "auto")
            verify(!findChild(page, "addressField").enabled)
            fill(page, { address: "", mask: "999.1.1.1", gateway: "x" })
            mouseClick(findChild(page, "saveButton"))
            verify(!findChild(page, "messagePopup").visible)
            tryCompare(stack, "depth", 1)
        }

        function test_modePresetFromMethod_data() {
            return [
                { tag: "auto", method: "auto", index: 0 },
                { tag: "manual", method: "manual", index: 1 },
                { tag: "other", method: "link-local", index: 1 }
            ]
        }
        function test_modePresetFromMethod(data) {
            network.ethernet.method = data.method
            var page = create("qrc:/qml/screens/settings/EthernetConfig.qml")
            compare(findChild(page, "modeBox").currentIndex, data.index)
            compare(findChild(page, "dns1Field").enabled, data.index === 1)
        }

        function test_fieldTurnsRedWhenLeftInvalid() {
            network.ethernet.method = "manual"
            var page = create("qrc:/qml/screens/settings/EthernetConfig.qml")
            var field = findChild(page, "gatewayField")
            var plain = field.color
            field.text = "10.0.0.256"
            field.editingFinished()
            compare(field.color, page.errorColor)
            field.text = "10.0.0.254"
            field.editingFinished()
            compare(field.color, plain)
        }

        function test_colourRules_data() {
            return [
                { tag: "connected", word: "Connected", state: Material.Green, conn: Material.Red },
                { tag: "disconnected", word: "Disconnected", state: Material.Red,
                  conn: Material.Red },
                { tag: "connecting", word: "Connecting", state: Material.Amber, conn: Material.Red },
                { tag: "empty", word: "", state: Material.Amber, conn: Material.Red },
                { tag: "full", word: "Full", state: Material.Amber, conn: Material.Green },
                { tag: "portal", word: "Portal", state: Material.Amber, conn: Material.Amber },
                { tag: "limited", word: "Limited", state: Material.Amber, conn: Material.Amber },
                { tag: "none", word: "None", state: Material.Amber, conn: Material.Red }
            ]
        }
        function test_colourRules(data) {
            var page = create("qrc:/qml/screens/settings/Network.qml")
            compare(page.stateColor(data.word), page.shade(data.state))
            compare(page.connectivityColor(data.word), page.shade(data.conn))
        }

        // The rows take their colour from the service's words, whatever the interface language.
        function test_rowsUseTheRulesInEveryLanguage_data() {
            return [ { tag: "English", language: "en_US" }, { tag: "Greek", language: "el_GR" } ]
        }
        function test_rowsUseTheRulesInEveryLanguage(data) {
            manager.language = data.language
            var page = create("qrc:/qml/screens/settings/Network.qml")
            var rows = {
                connectionStateRow: page.stateColor(network.connectionState),
                connectivityRow: page.connectivityColor(network.connectivity),
                ethernetStateRow: page.stateColor(network.ethernet.state)
            }
            for (var name in rows) {
                var row = findChild(page, name)
                compare(row.valueColor, rows[name], name)
                // Set through the row's value: the colour follows it.
                row.value = "Connected"
                compare(row.valueColor, name === "connectivityRow" ? page.shade(Material.Red)
                                                                   : page.shade(Material.Green),
                        name)
            }
        }

        // Readable on both themes: at least 4.5:1 against the page background.
        function test_colourContrast_data() {
            return [ { tag: "dark", theme: Material.Dark }, { tag: "light", theme: Material.Light } ]
        }
        function test_colourContrast(data) {
            var page = create("qrc:/qml/screens/settings/Network.qml")
            page.Material.theme = data.theme
            function luminance(c) {
                function channel(v) {
                    return v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4)
                }
                return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b)
            }
            var back = luminance(page.Material.background)
            var colours = [Material.Green, Material.Red, Material.Amber]
            for (var i = 0; i < colours.length; ++i) {
                var fore = luminance(page.shade(colours[i]))
                var ratio = (Math.max(fore, back) + 0.05) / (Math.min(fore, back) + 0.05)
                verify(ratio >= 4.5, "colour " + colours[i] + ": " + ratio)
            }
        }

        function test_configureOpensTheEthernetPage() {
            var stack = createTemporaryObject(stackComponent, top)
            var page = stack.push("qrc:/qml/screens/settings/Network.qml")
            tryCompare(stack, "busy", false)
            mouseClick(findChild(page, "networkTabs").itemAt(1))
            var swipe = findChild(page, "networkSwipe")
            tryCompare(swipe, "currentIndex", 1)
            // Once the tab has slid in, where a tap reaches the button.
            tryCompare(swipe.contentItem, "contentX", swipe.width)
            var button = findChild(page, "configureButton")
            mouseClick(button)
            tryCompare(stack, "depth", 3)
            compare(stack.currentItem.objectName, "EthernetConfig")
        }

        function test_localeWritesLanguage() {
            var page = create("qrc:/qml/screens/settings/Region.qml")
            var box = findChild(page, "localeBox")
            compare(box.currentText, "en_IE")
            choose(box, 2)
            compare(manager.language, "el_GR")
            compare(findChild(page, "languageFlag").source, "qrc:/qml/images/Flags/gr.png")
            compare(findChild(page, "languageName").text, "Ελληνικά")
            choose(box, 0)
            compare(manager.language, "en_US")
            compare(findChild(page, "languageFlag").source, "qrc:/qml/images/Flags/us.png")
            tryCompare(findChild(page, "languageFlag"), "status", Image.Ready)
        }
    }
}
