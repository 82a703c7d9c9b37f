import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15

// The diagnostics page inside the real maintenance shell, against the real core (no broker).
Item {
    id: top

    width: 480
    height: 800

    TestCase {
        name: "DiagnosticsPage"
        when: windowShown

        function openPage() {
            var component = Qt.createComponent("qrc:/qml/screens/settings/Main.qml")
            verify(component.status === Component.Ready, component.errorString())
            var shell = createTemporaryObject(component, top, { width: 480, height: 800 })
            findChild(shell, "row_Diagnostics").clicked()
            tryCompare(shell.stack, "depth", 2)
            tryCompare(shell.stack, "busy", false)
            return shell
        }
        function answer(popup, yes) {
            tryCompare(popup, "opened", true)
            mouseClick(findChild(popup.contentItem, yes ? "popupYesButton" : "popupNoButton"))
            tryCompare(popup, "visible", false)
        }

        function cleanup() {
            for (var item of ["buzzer", "leds", "speaker", "barcodeScan", "cardScan",
                              "lightSensor", "rgbTest"])
                manager.diagnostics[item] = ""
        }

        function test_selfTestRowsAndColours() {
            var page = openPage().stack.currentItem
            compare(page.objectName, "Diagnostics")
            // The board reports no clock failure, and nothing else without a broker.
            var rtc = findChild(page, "selfTest_rtc")
            compare(rtc.value, "OK")
            compare(Qt.colorEqual(rtc.valueColor, page.resultColor("OK")), true)
            compare(findChild(page, "selfTest_boardService").value, "ERROR")
            // Grey, green, red, amber: each verdict its own colour.
            var colours = ["", "OK", "ERROR", "MISSING"].map(page.resultColor)
            for (var i = 0; i < colours.length; ++i)
                for (var j = i + 1; j < colours.length; ++j)
                    verify(!Qt.colorEqual(colours[i], colours[j]))
        }

        function test_answeredTests_data() {
            return [
                { tag: "buzzer, yes", button: "test_buzzer", dialog: "buzzerDialog", yes: true,
                  item: "buzzer", verdict: "OK" },
                { tag: "LEDs, no", button: "test_leds", dialog: "ledDialog", yes: false,
                  item: "leds", verdict: "ERROR" },
                { tag: "speaker, yes", button: "test_speaker", dialog: "speakerDialog", yes: true,
                  item: "speaker", verdict: "OK" },
                { tag: "sensor, no", button: "test_lightSensor", dialog: "sensorDialog",
                  yes: false, item: "lightSensor", verdict: "ERROR" },
            ]
        }
        function test_answeredTests(data) {
            var page = openPage().stack.currentItem
            findChild(page, data.button).clicked()
            answer(findChild(page, data.dialog), data.yes)
            compare(manager.diagnostics[data.item], data.verdict)
            var button = findChild(page, data.button)
            compare(Qt.colorEqual(button.contentItem.color, page.resultColor(data.verdict)), true)
        }

        // The card pop-up shows the card while it is on the reader.
        function test_cardTest() {
            var page = openPage().stack.currentItem
            var popup = findChild(page, "cardPopup")
            findChild(page, "test_cardScan").clicked()
            tryCompare(popup, "opened", true)
            compare(popup.text, "Tap a card")
            validatorManager.cardDetected("04A1B2C3", "Mifare DESFire")
            compare(popup.text, "CARD DETECTED\n04A1B2C3\nMifare DESFire")
            compare(manager.diagnostics.cardScan, "OK")
            validatorManager.cardRemoved()
            compare(popup.text, "Tap a card")
            popup.close()
            tryCompare(popup, "visible", false)
        }

        // Three taps with the header hidden, then the question.
        function test_colourTest() {
            var shell = openPage()
            var page = shell.stack.currentItem
            var header = findChild(shell, "shellHeader")
            // Below the rows, out of sight until scrolled to.
            findChild(page, "test_rgbTest").clicked()
            tryCompare(shell.stack, "depth", 3)
            tryCompare(shell.stack, "busy", false)
            var test = shell.stack.currentItem
            compare(test.objectName, "colourTest")
            compare(header.height, 0)
            compare(Qt.colorEqual(test.color, "#ff0000"), true)
            mouseClick(test)
            compare(Qt.colorEqual(test.color, "#00ff00"), true)
            mouseClick(test)
            compare(Qt.colorEqual(test.color, "#0000ff"), true)
            compare(shell.stack.depth, 3)
            mouseClick(test)
            tryCompare(shell.stack, "depth", 2)
            compare(header.height, 70)
            answer(findChild(page, "rgbDialog"), true)
            compare(manager.diagnostics.rgbTest, "OK")
        }

        // A colour test cut short by the shell going back to its list asks nothing.
        function test_colourTestCutShort() {
            var shell = openPage()
            var page = shell.stack.currentItem
            var dialog = findChild(page, "rgbDialog")
            var opened = false
            dialog.aboutToShow.connect(function() { opened = true })
            findChild(page, "test_rgbTest").clicked()
            tryCompare(shell.stack, "depth", 3)
            tryCompare(shell.stack, "busy", false)
            shell.reset()
            tryCompare(shell.stack, "depth", 1)
            tryCompare(shell.stack, "busy", false)
            verify(!opened)
            compare(manager.diagnostics.rgbTest, "")
        }

        // The report pop-up shows the outcome and the QR code; closing it after a saved report
        // leaves the page, which stops the self-test.
        function test_finish() {
            var shell = openPage()
            var page = shell.stack.currentItem
            var popup = findChild(page, "reportPopup")
            page.diagnostics.saveReportFinished(false, "Could not save Test Report\nERROR: disk")
            tryCompare(popup, "opened", true)
            compare(popup.text, "Could not save Test Report\nERROR: disk")
            verify(!popup.hasImage)
            popup.close()
            tryCompare(popup, "visible", false)
            compare(shell.stack.depth, 2)

            page.diagnostics.saveReportFinished(true, "Test report saved successfully:\n./x.txt")
            tryCompare(popup, "opened", true)
            verify(popup.image.toString().indexOf("data:image/svg") === 0)
            tryCompare(findChild(popup.contentItem, "popupImage"), "status", Image.Ready)
            popup.close()
            tryCompare(shell.stack, "depth", 1)
            compare(findChild(shell, "shellTitle").text, "Settings")
        }
    }
}
