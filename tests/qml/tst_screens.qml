import QtQuick 2.15
import QtTest 1.15

TestCase {
    id: test

    name: "Screens"
    when: windowShown
    width: 480
    height: 800

    function create(file, properties) {
        var component = Qt.createComponent(file)
        verify(component.status === Component.Ready, component.errorString())
        var object = createTemporaryObject(component, test, properties || {})
        verify(object !== null)
        return object
    }

    function test_serialNumber_data() {
        return [
            { tag: "C and eight digits", text: "C12345678", valid: true },
            { tag: "K and eight digits", text: "K00000000", valid: true },
            { tag: "two letters", text: "CK1234567", valid: false },
            { tag: "a leading comma", text: ",12345678", valid: false },
            { tag: "lower case", text: "c12345678", valid: false },
            { tag: "seven digits", text: "C1234567", valid: false },
            { tag: "nine digits", text: "C123456789", valid: false },
            { tag: "another letter", text: "A12345678", valid: false },
            { tag: "empty", text: "", valid: false }
        ]
    }

    function test_serialNumber(data) {
        var page = create("qrc:/qml/screens/InitPage.qml")
        compare(page.isValidSerial(data.text), data.valid)
        var field = findChild(page, "serialField")
        field.text = data.text
        compare(findChild(page, "saveButton").enabled, data.valid)
    }

    function test_period_data() {
        return [
            { tag: "1 minute", minutes: 1, text: "1 min" },
            { tag: "90 minutes", minutes: 90, text: "90 mins" },
            { tag: "120 minutes", minutes: 120, text: "120 mins" },
            { tag: "121 minutes", minutes: 121, text: "2 hours" },
            { tag: "one hour, rounded", minutes: 140, text: "2 hours" },
            { tag: "1440 minutes", minutes: 1440, text: "24 hours" },
            { tag: "1441 minutes", minutes: 1441, text: "1 day" },
            { tag: "2880 minutes", minutes: 2880, text: "2 days" },
            { tag: "none", minutes: 0, text: "0 mins" }
        ]
    }

    function test_period(data) {
        var words = { day: "day", days: "days", hour: "hour", hours: "hours", min: "min", mins: "mins" }
        var details = create("qrc:/qml/screens/TransactionDetails.qml", { words: words })
        compare(details.period(data.minutes), data.text)
    }

    function test_detailBlocks_data() {
        return [
            { tag: "ticket", type: 0, block: true, two: false },
            { tag: "e-purse", type: 2, block: true, two: true },
            { tag: "period pass", type: 8, block: true, two: true },
            { tag: "capping", type: 15, block: true, two: true, already: true, shown: false },
            { tag: "EMV has none", type: 10, block: false, two: false }
        ]
    }

    function test_detailBlocks(data) {
        var details = create("qrc:/qml/screens/TransactionDetails.qml", {
            result: { type: data.type, details: { remaining: 1.5, deducted: 0.5,
                                                       transferRemainingMin: 30 } },
            showCapping: !data.already
        })
        compare(details.hasBlock, data.already ? data.shown : data.block)
        compare(details.twoColumns, data.already ? false : data.two)
    }

    function test_animationSwitching_data() {
        return [
            { tag: "after each animation", switchMs: 0 },
            { tag: "every five seconds", switchMs: 5000 }
        ]
    }

    function test_animationSwitching(data) {
        manager.animSwitchSec = data.switchMs
        var page = create("qrc:/qml/screens/ScanScreens.qml")
        var frameTimer = findChild(page, "frameTimer")
        frameTimer.running = false // stepped by hand
        compare(page.mode, 0)
        compare(page.frame, 0)
        for (var i = 0; i < 6; ++i)
            page.step()
        compare(page.frame, 6)
        page.step()
        compare(page.frame, 0)
        var switchTimer = findChild(page, "switchTimer")
        if (data.switchMs === 0) {
            compare(page.mode, 1) // the card animation ran once; the ticket's follows
            compare(page.lastFrame, 8)
            verify(!switchTimer.running)
        } else {
            compare(page.mode, 0) // the card animation loops until the switch timer fires
            verify(switchTimer.running)
            compare(switchTimer.interval, 5000)
            page.step(); page.step()
            switchTimer.triggered()
            compare(page.mode, 1)
            compare(page.frame, 0)
        }
        compare(findChild(page, "hint").text.indexOf("\n") > 0, true)
        manager.animSwitchSec = 0
    }
}
