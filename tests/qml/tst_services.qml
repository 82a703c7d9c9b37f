import QtQuick 2.15
import QtTest 1.15
import com.velt.network.connection 1.0
import com.velt.network.ipv4 1.0

// What the system pages bind to, as QML reaches it in the product.
Item {
    Connection {
        id: connection
    }
    Image {
        id: qrImage

        width: 300
        height: 300
    }
    IPv4 {
        id: settings

        address: "192.168.7.20"
    }

    TestCase {
        name: "Services"

        function test_network() {
            compare(network.connectionState, "")
            verify(network.primaryConnection === network.primaryConnection)
            compare(network.primaryConnection.ipv4.address, "")
            verify(network.ethernet !== null)
            compare(network.ethernet.state, "")
        }

        // The ethernet page edits the configuration in place; nothing is sent until save().
        function test_ethernetConfigurationIsWritable() {
            var ethernet = network.ethernet
            var changes = 0
            var count = function() { changes++ }
            ethernet.config.addressChanged.connect(count)
            ethernet.config.address = "10.1.2.3"
            ethernet.config.address = "10.1.2.3"
            ethernet.method = "manual"
            compare(ethernet.config.address, "10.1.2.3")
            compare(ethernet.method, "manual")
            compare(changes, 1)
            ethernet.config.addressChanged.disconnect(count)
            ethernet.config.address = ""
            ethernet.method = ""
        }

        function test_managerMembers() {
            verify(manager.update !== null)
            verify(manager.update === manager.update)
            verify(manager.clock === manager.clock)
            // No broker behind the core.
            compare(manager.update.status, "Disconnected")
            compare(manager.update.progressPercent, 0)
            compare(manager.clock.ntpEnabled, false)
            compare(typeof manager.clock.timezones.length, "number")
            compare(typeof manager.clock.timezone, "string")
            verify(typeof manager.update.check === "function")
            verify(typeof manager.clock.ntpSync === "function")
        }

        // The report pop-up shows the self-test's QR code straight from its data URI.
        function test_qrCodeShows() {
            qrImage.source = manager.diagnostics.generateQr()
            tryCompare(qrImage, "status", Image.Ready)
            verify(qrImage.implicitWidth > 20)
            verify(qrImage.implicitWidth === qrImage.implicitHeight)
        }

        function test_creatableTypes() {
            compare(connection.interface, "")
            compare(connection.ipv4.dns0, "")
            compare(settings.address, "192.168.7.20")
            settings.mask = "255.255.255.0"
            compare(settings.mask, "255.255.255.0")
        }
    }
}
