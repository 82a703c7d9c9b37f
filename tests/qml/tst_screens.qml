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
            { tag: "none", minutes: 0, text: "0 mins" },
            // In the screen's own catalogue context.
            { tag: "Greek, one day", minutes: 1441, text: "1 ημέρα", language: "el_GR" },
            { tag: "Greek, minutes", minutes: 90, text: "90 λεπτά", language: "el_GR",
              context: "AlreadyValid" }
        ]
    }

    function test_period(data) {
        manager.language = data.language || "en_IE"
        var details = create("qrc:/qml/screens/TransactionDetails.qml",
                             { context: data.context || "Valid" })
        compare(details.period(data.minutes), data.text)
        manager.language = "el_GR"
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

    function test_hintInTwoLines_data() {
        var rows = []
        var screens = [
            { name: "idle, card", file: "ScanScreens", mode: 0 },
            { name: "idle, ticket", file: "ScanScreens", mode: 1 },
            { name: "card", file: "ScanCard" },
            { name: "ticket", file: "ScanBarcode" }
        ]
        for (var i = 0; i < screens.length; ++i) {
            for (var language of ["el_GR", "en_IE"]) {
                var row = Object.assign({ language: language }, screens[i])
                row.tag = screens[i].name + ", " + language
                rows.push(row)
            }
        }
        return rows
    }

    // Each line of the hint is one line on the screen, in its box, in every language.
    function test_hintInTwoLines(data) {
        manager.language = data.language
        var page = create("qrc:/qml/screens/" + data.file + ".qml", { width: 480, height: 680 })
        if (data.mode !== undefined)
            page.mode = data.mode
        var hint = findChild(page, "hint")
        verify(hint.text.indexOf("\n") > 0)
        if (data.language === "el_GR")
            verify(/[Α-Ω]/.test(hint.text), hint.text)
        tryCompare(hint, "lineCount", 2)
        verify(hint.x >= 24 && hint.x + hint.width <= page.width - 20, hint.x)
        manager.language = "el_GR"
    }

    function test_animationSwitching_data() {
        return [
            { tag: "after each animation", switchMs: 0, cardFrames: [0, 1, 2, 3, 4, 5],
              ticketFrames: [0, 1, 2, 3, 4, 5, 6, 7] },
            { tag: "every five seconds", switchMs: 5000, cardFrames: [0, 1, 2, 3, 4, 5, 6],
              ticketFrames: [0, 1, 2, 3, 4, 5, 6, 7, 8] }
        ]
    }

    // The frames a passenger sees, stepped by hand over two rounds of both animations.
    function test_animationSwitching(data) {
        manager.animSwitchSec = data.switchMs
        var page = create("qrc:/qml/screens/ScanScreens.qml")
        findChild(page, "frameTimer").running = false
        var switchTimer = findChild(page, "switchTimer")
        compare(switchTimer.running, data.switchMs > 0)
        var seen = [[], []]
        var order = [] // the animation of each frame, in turn
        for (var i = 0; i < 60; ++i) {
            if (seen[page.mode].indexOf(page.frame) < 0)
                seen[page.mode].push(page.frame)
            if (order.length === 0 || order[order.length - 1] !== page.mode)
                order.push(page.mode)
            page.step()
            // With a switch period, the switch comes when it comes, whatever frame shows.
            if (data.switchMs > 0 && i % 17 === 16)
                switchTimer.triggered()
        }
        compare(seen[0].sort(), data.cardFrames)
        compare(seen[1].sort(), data.ticketFrames)
        verify(order.length >= 4, order.join(",")) // card and ticket in turn, twice at least
        if (data.switchMs > 0) {
            compare(switchTimer.interval, 5000)
            switchTimer.triggered()
            compare(page.frame, 0)
        }
        compare(findChild(page, "hint").text.indexOf("\n") > 0, true)
        manager.animSwitchSec = 0
    }
}
