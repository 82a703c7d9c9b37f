import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../controls"

// The hardware self-test: the measured and live verdicts, the tests the technician answers, and
// the report with its QR code. The check runs while the page exists.
SettingsPane {
    id: page

    objectName: "Diagnostics"

    readonly property var diagnostics: manager.diagnostics
    // Whether the last report was saved: closing its pop-up then ends the self-test.
    property bool reportSaved: false

    // Grey untested, green passed, red failed, amber anything else (a device missing): pale on
    // the dark theme and dark on the light one, so that they read on either.
    function resultColor(result) {
        var hue = result === "" ? Material.Grey
                                : result === "OK" ? Material.Green
                                                  : result === "ERROR" ? Material.Red : Material.Amber
        if (Material.theme === Material.Dark)
            return Material.color(hue, Material.Shade200)
        return Qt.darker(Material.color(hue), 1.9)
    }

    Component.onCompleted: diagnostics.start()
    Component.onDestruction: diagnostics.stop()

    InfoGroup {
        title: "Self Tests"

        Repeater {
            model: [
                ["RTC", "rtc"], ["Ethernet", "ethernet"], ["USB Hub", "usbHub"],
                ["USB Host", "usbHost"], ["FTDI", "ftdi"], ["mPCIe #1", "mPCIe1"],
                ["Touch", "touch"], ["SD Card", "sdCard"], ["Ignition", "ignition"],
                ["Temperature", "temperature"], ["System Voltage", "voltage"],
                ["RFID (USB)", "rfidUsb"], ["RFID (Service)", "rfidService"],
                ["Barcode (USB)", "barcodeUsb"], ["Barcode (Service)", "barcodeService"],
                ["SAM", "sam"], ["Board", "boardService"]
            ]
            InfoRow {
                objectName: "selfTest_" + modelData[1]
                label: modelData[0]
                value: page.diagnostics[modelData[1]]
                valueColor: page.resultColor(value)
            }
        }
    }

    Grid {
        width: parent.width
        columns: 3
        columnSpacing: 10
        rowSpacing: 10

        Repeater {
            model: [
                [qsTr("Buzzer"), "buzzer", buzzerDialog], [qsTr("LEDs"), "leds", ledDialog],
                [qsTr("RFID"), "cardScan", cardPopup], [qsTr("Barcode"), "barcodeScan", barcodePopup],
                [qsTr("Speaker"), "speaker", speakerDialog],
                [qsTr("Sensor"), "lightSensor", sensorDialog], [qsTr("RGB"), "rgbTest", null]
            ]
            FormButton {
                objectName: "test_" + modelData[1]
                width: (parent.width - 20) / 3
                text: manager.dynTr + modelData[0]
                // The card reader's button lights up while the reader is on.
                highlighted: modelData[1] === "cardScan" && validatorManager.rfid
                             && validatorManager.rfid.enabled
                contentItem: Label {
                    text: parent.text
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    font.bold: true
                    color: parent.highlighted ? Theme.navy
                                              : page.resultColor(page.diagnostics[modelData[1]])
                }
                onClicked: {
                    if (modelData[2])
                        modelData[2].open()
                    else
                        page.StackView.view.push(colourTest)
                }
            }
        }
        FormButton {
            objectName: "finishButton"
            width: (parent.width - 20) / 3
            highlighted: true
            font.bold: true
            text: manager.dynTr + qsTr("FINISH")
            onClicked: page.diagnostics.saveReport()
        }
    }

    TestDialog {
        id: buzzerDialog
        objectName: "buzzerDialog"
        result: "buzzer"
        text: "Can you hear the buzzer?"
        onOpened: board.playBuzzer(100, 200, 3)
    }
    TestDialog {
        id: ledDialog
        objectName: "ledDialog"
        result: "leds"
        text: "Can you see the LEDs flashing?"
        onOpened: board.setLedTestPattern()
        onClosed: board.setLedOff()
    }
    TestDialog {
        id: speakerDialog
        objectName: "speakerDialog"
        result: "speaker"
        text: "Can you hear the internal speaker?"
        onOpened: inspector.audioPlay("/opt/velt/pernix/Valid.wav")
    }
    TestDialog {
        id: sensorDialog
        objectName: "sensorDialog"
        result: "lightSensor"
        text: "Is LCD brightness adjusting?\n" + "Brightness : " + board.displayBrightness + "%\n"
              + "Light Sensor : " + board.ambientLightSensor + "%"
        onOpened: board.monitor(2000)
        onClosed: board.monitor(0)
    }
    TestDialog {
        id: rgbDialog
        objectName: "rgbDialog"
        result: "rgbTest"
        text: "Was the RGB test successful?"
    }

    CustomPopup {
        id: barcodePopup

        objectName: "diagnosticsBarcodePopup"
        text: "Scan a barcode"
        onOpened: validatorManager.enableBarcode()
        onClosed: validatorManager.disableBarcode()
    }
    CustomPopup {
        id: cardPopup

        objectName: "cardPopup"
        text: "Tap a card"
        onOpened: validatorManager.enableRfid()
        onClosed: validatorManager.disableRfid()
    }
    CustomPopup {
        id: reportPopup

        objectName: "reportPopup"
        onClosed: if (page.reportSaved) page.StackView.view.pop()
    }

    Connections {
        target: validatorManager
        function onTicketValidated() {
            page.diagnostics.barcodeScan = "OK"
            barcodePopup.close()
        }
        function onCardDetected(uid, type) {
            cardPopup.text = "CARD DETECTED\n%1\n%2".arg(uid).arg(type)
            page.diagnostics.cardScan = "OK"
        }
        function onCardRemoved() {
            cardPopup.text = "Tap a card"
        }
    }
    Connections {
        target: page.diagnostics
        function onSaveReportFinished(result, message) {
            page.reportSaved = result
            reportPopup.text = message
            reportPopup.image = result ? page.diagnostics.generateQr() : ""
            reportPopup.open()
        }
    }

    Component {
        id: colourTest

        // Asked only after the three colours: a test cut short (the shell reset by an out of
        // order or a logout) asks nothing of a page that is going away.
        ColourTest {
            onFinished: rgbDialog.open()
        }
    }
}
