import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtTest 1.15

// The Update and Event Log pages against the real core (no broker behind it), and the message
// row of the log.
Item {
    id: top

    width: 480
    height: 800

    TestCase {
        id: test

        name: "UpdateEventLog"
        when: windowShown

        function create(file, properties) {
            var component = Qt.createComponent(file)
            verify(component.status === Component.Ready, component.errorString())
            var object = createTemporaryObject(component, top,
                                               Object.assign({ width: 480, height: 730 },
                                                             properties || {}))
            verify(object !== null)
            return object
        }
        function names() {
            return eventLogManager.data.map(function (event) { return event.name })
        }
        // WCAG contrast ratio of two colours.
        function contrast(a, b) {
            function channel(c) {
                return c <= 0.04045 ? c / 12.92 : Math.pow((c + 0.055) / 1.055, 2.4)
            }
            function luminance(c) {
                return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b)
            }
            var x = luminance(a), y = luminance(b)
            return (Math.max(x, y) + 0.05) / (Math.min(x, y) + 0.05)
        }

        function initTestCase() {
            // A maintenance session leaves a login and a logout in the log.
            manager.settingsLoginRequest("5826")
            manager.settingsLogoutRequest()
            tryVerify(function () { return eventLogManager.data.length >= 2 })
        }
        function init() {
            manager.language = "en_IE"
        }
        function cleanup() {
            manager.language = "el_GR"
        }

        function test_update_followsTheManager() {
            var page = create("qrc:/qml/screens/settings/Update.qml")
            // Without a broker the update manager stays disconnected and knows no versions.
            compare(manager.update.status, "Disconnected")
            compare(findChild(findChild(page, "statusRow"), "value").text, "Disconnected")
            compare(findChild(findChild(page, "currentRow"), "value").text, "None")
            compare(findChild(findChild(page, "pendingRow"), "value").text, "None")
            verify(!findChild(page, "installButton").enabled)
            verify(findChild(page, "checkButton").enabled)
        }

        function test_update_statusRules_data() {
            return [
                { tag: "Disconnected", status: "Disconnected", install: false, dark: "#ef9a9a" },
                { tag: "Ready to install", status: "Ready to install", install: true,
                  dark: "#a5d6a7" },
                { tag: "Downloading", status: "Downloading", install: false, dark: "#ffe082" },
                { tag: "Installing", status: "Installing", install: false, dark: "#ffe082" },
                { tag: "Checking", status: "Checking for updates", install: false },
                { tag: "No pending", status: "No pending updates", install: false },
                { tag: "other case", status: "ready to install", install: false }
            ]
        }

        function test_update_statusRules(data) {
            var page = create("qrc:/qml/screens/settings/Update.qml")
            var row = findChild(page, "statusRow")
            page.status = data.status
            compare(findChild(row, "value").text, data.status)
            compare(findChild(page, "installButton").enabled, data.install)

            page.Material.theme = Material.Dark
            var expected = data.dark !== undefined ? data.dark : page.Material.foreground
            verify(Qt.colorEqual(row.valueColor, expected), String(row.valueColor))
            // Readable on both themes.
            for (var theme of [Material.Dark, Material.Light]) {
                page.Material.theme = theme
                verify(contrast(row.valueColor, page.Material.background) >= 4.5,
                       "theme " + theme + ": " + row.valueColor)
            }
        }

        function test_eventLog_searchFiltersOnEveryKeystroke() {
            var page = create("qrc:/qml/screens/settings/EventLog.qml")
            var field = findChild(page, "searchField")
            var list = findChild(page, "eventList")
            var all = names()
            verify(all.indexOf("Maintenance login") >= 0 && all.indexOf("Maintenance logout") >= 0)

            // One character at a time, as the on-screen keyboard commits them.
            var typed = "logi"
            for (var i = 0; i < typed.length; ++i) {
                field.insert(field.length, typed[i])
                compare(field.text, typed.substring(0, i + 1))
                var shown = names()
                verify(shown.every(function (name) {
                    return name.toLowerCase().indexOf(field.text) >= 0
                }), shown)
            }
            compare(names(), ["Maintenance login"])
            tryCompare(list, "count", 1)
            compare(list.itemAtIndex(0).title, "Maintenance login")

            mouseClick(findChild(page, "clearButton"))
            compare(field.text, "")
            compare(names(), all)
            tryCompare(list, "count", all.length)
        }

        function test_eventLog_selectors_data() {
            return [
                { tag: "Critical", box: "severityBox", index: 0, shown: [] },
                { tag: "Warning", box: "severityBox", index: 1,
                  shown: ["Maintenance login", "Maintenance logout"] },
                { tag: "Yesterday", box: "periodBox", index: 4, shown: [] },
                { tag: "Last hour", box: "periodBox", index: 1, all: true }
            ]
        }

        function test_eventLog_selectors(data) {
            var page = create("qrc:/qml/screens/settings/EventLog.qml")
            var all = names()
            var box = findChild(page, data.box)
            box.currentIndex = data.index
            box.activated(data.index)
            compare(names().sort(), data.all ? all.slice().sort() : data.shown)

            // A new visit starts from the presets, whatever the last one left.
            page.destroy()
            page = create("qrc:/qml/screens/settings/EventLog.qml")
            compare(findChild(page, "severityBox").currentText, "All messages")
            compare(findChild(page, "periodBox").currentText, "All history")
            compare(names(), all)
        }

        function test_messageRow_expandsWithinItsLimit_data() {
            return [
                { tag: "short", message: "Date : today", capped: false },
                { tag: "long", message: new Array(40).join("User ID : 7\n"), capped: true }
            ]
        }

        function test_messageRow_expandsWithinItsLimit(data) {
            var row = createTemporaryObject(Qt.createComponent("qrc:/qml/controls/MessageRowItem.qml"),
                                            top, { width: 440, title: "Maintenance login",
                                                   message: data.message, time: "01-Jan-25 10:00" })
            var title = findChild(row, "titleText")
            var message = findChild(row, "messageText")
            compare(row.height, title.height + 30)
            verify(!message.visible)

            mouseClick(row)
            verify(row.expanded)
            verify(message.visible)
            compare(row.height, data.capped ? 150 : title.height + message.height + 60)

            mouseClick(row)
            verify(!row.expanded)
            row.isExpandable = false
            mouseClick(row)
            verify(!row.expanded)
        }
    }
}
