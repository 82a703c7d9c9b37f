import QtQuick 2.15
import QtTest 1.15
import "../../qml/controls"

Item {
    id: top
    width: 480
    height: 800

    Component {
        id: clockComponent
        Clock {
            x: 280
            y: 20
        }
    }

    Component {
        id: headerComponent
        Header {
            width: 480
            height: 120
        }
    }

    Component {
        id: popupComponent
        CustomPopup {
            text: "Please confirm"
        }
    }

    Component {
        id: imageBoxComponent
        ImageBox {
            y: 300
            icon: "qrc:/qml/images/Icons/valid.svg"
            iconSize: Qt.size(100, 100)
            iconColor: "#ff0000"
        }
    }

    Component {
        id: roundButtonComponent
        RoundButton {
            x: 50
            y: 300
            radius: 35
            source: testCase.whiteSquare
        }
    }

    Component {
        id: customButtonComponent
        CustomButton {
            x: 50
            y: 500
            width: 270
            height: 120
            text: "SCAN\nTICKET"
            icon: testCase.whiteSquare
        }
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    Component {
        id: markerComponent
        Timer {}
    }

    TestCase {
        id: testCase
        name: "Controls"
        when: windowShown

        readonly property string whiteSquare: "data:image/svg+xml;utf8,"
            + "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'>"
            + "<rect width='10' height='10' fill='white'/></svg>"
        readonly property bool software: GraphicsInfo.api === GraphicsInfo.Software

        function createSpy(target, signalName) {
            return createTemporaryObject(spyComponent, testCase,
                                         { target: target, signalName: signalName })
        }

        // Returns once a timer of that interval, started now, has fired. QML timers share one
        // clock and fire in order, so any QML timer of that interval or shorter started before
        // has fired by then: a marker for "nothing happened".
        function passTimerOf(interval) {
            var marker = createTemporaryObject(markerComponent, testCase, { interval: interval })
            var fired = createSpy(marker, "triggered")
            marker.start()
            fired.wait(interval + 10000)
        }

        function createClock() {
            var clock = createTemporaryObject(clockComponent, top)
            verify(clock !== null)
            return clock
        }

        function test_clock_shows_date_and_time_in_locale() {
            var clock = createClock()
            clock.locale = Qt.locale("en_IE")
            compare(clock.dateText, new Date().toLocaleDateString(Qt.locale("en_IE"), "dd-MMM-yyyy"))
            compare(clock.timeText, new Date().toLocaleTimeString(Qt.locale("en_IE"), "hh:mm"))
            clock.locale = Qt.locale("el_GR")
            compare(clock.dateText, new Date().toLocaleDateString(Qt.locale("el_GR"), "dd-MMM-yyyy"))
            verify(/^\d\d:\d\d$/.test(clock.timeText))
        }

        function test_clock_three_quick_taps() {
            var clock = createClock()
            var holdSpy = createSpy(clock, "pressAndHold")
            var tapSpy = createSpy(clock, "tapped")
            // Back to back, with no turn of the event loop between them: the burst cannot end
            // before the third tap, however slow the machine.
            for (var i = 0; i < 3; ++i)
                mouseClick(clock)
            compare(tapSpy.count, 3)
            compare(clock.tapCount, 3)
            verify(clock.burstRunning)
            compare(holdSpy.count, 0)
            tryCompare(holdSpy, "count", 1, 10000)
            compare(clock.tapCount, 0)
            verify(!clock.burstRunning)
            // Once only: nothing more within another burst period.
            passTimerOf(1000)
            compare(holdSpy.count, 1)
        }

        function test_clock_two_taps_do_nothing() {
            var clock = createClock()
            var holdSpy = createSpy(clock, "pressAndHold")
            var tapSpy = createSpy(clock, "tapped")
            mouseClick(clock)
            mouseClick(clock)
            compare(tapSpy.count, 2)
            verify(clock.burstRunning)
            // The burst began with the first press; a timer of its period started now ends later.
            passTimerOf(1000)
            verify(!clock.burstRunning)
            compare(clock.tapCount, 0)
            compare(holdSpy.count, 0)
        }

        function test_clock_long_press() {
            var clock = createClock()
            var holdSpy = createSpy(clock, "pressAndHold")
            var tapSpy = createSpy(clock, "tapped")
            mousePress(clock)
            verify(clock.burstRunning)
            tryCompare(holdSpy, "count", 1, 10000)
            // The burst timer stops but the count is kept.
            verify(!clock.burstRunning)
            compare(clock.tapCount, 1)
            mouseRelease(clock)
            compare(tapSpy.count, 0)
            // The stopped burst must not end later: it began before a timer of its period
            // started now.
            passTimerOf(1000)
            compare(holdSpy.count, 1)
            compare(clock.tapCount, 1)

            // The next press opens a new burst that counts on from the kept value.
            mouseClick(clock)
            compare(clock.tapCount, 2)
            verify(clock.burstRunning)
            tryCompare(clock, "tapCount", 0, 10000)
            compare(holdSpy.count, 1)
        }

        function test_header_flag_and_signals() {
            var header = createTemporaryObject(headerComponent, top, { language: "el_GR" })
            verify(header !== null)
            var flag = findChild(header, "languageButton")
            verify(flag !== null)
            compare(flag.source, "qrc:/qml/images/Flags/uk.png")
            header.language = "en_IE"
            compare(flag.source, "qrc:/qml/images/Flags/gr.png")

            var toggleSpy = createSpy(header, "languageToggled")
            mouseClick(flag)
            compare(toggleSpy.count, 1)

            var magicSpy = createSpy(header, "magicButtonPressed")
            var clock = findChild(header, "clock")
            verify(clock !== null)
            mousePress(clock)
            tryCompare(magicSpy, "count", 1, 1500)
            mouseRelease(clock)
            compare(clock.locale.name, Qt.locale("en_IE").name)
        }

        function openPopup(dialog) {
            manager.language = "en_IE"
            var popup = createTemporaryObject(popupComponent, top, { dialog: dialog })
            verify(popup !== null)
            popup.open()
            tryCompare(popup, "opened", true)
            return popup
        }

        function test_popup_dialog_yes() {
            var popup = openPopup(true)
            var yesSpy = createSpy(popup, "buttonYesPressed")
            var noSpy = createSpy(popup, "buttonNoPressed")
            var yes = findChild(popup.contentItem, "popupYesButton")
            verify(yes !== null)
            compare(yes.text, "Yes")
            verify(yes.visible)
            mouseClick(yes)
            compare(yesSpy.count, 1)
            compare(noSpy.count, 0)
            tryCompare(popup, "visible", false)
        }

        function test_popup_dialog_no() {
            var popup = openPopup(true)
            var yesSpy = createSpy(popup, "buttonYesPressed")
            var noSpy = createSpy(popup, "buttonNoPressed")
            var no = findChild(popup.contentItem, "popupNoButton")
            verify(no !== null)
            compare(no.text, "No")
            mouseClick(no)
            compare(noSpy.count, 1)
            compare(yesSpy.count, 0)
            tryCompare(popup, "visible", false)
        }

        function test_popup_dialog_ignores_taps_elsewhere() {
            var popup = openPopup(true)
            var hideSpy = createSpy(popup, "aboutToHide")
            var noSpy = createSpy(popup, "buttonNoPressed")
            mouseClick(popup.contentItem, 200, 30)
            mouseClick(top, 10, 10)
            // Longer than the style's exit transition: a close set off by the taps has ended.
            passTimerOf(300)
            verify(popup.opened)
            verify(popup.visible)
            compare(hideSpy.count, 0)
            // Only the answer closes it.
            mouseClick(findChild(popup.contentItem, "popupNoButton"))
            compare(noSpy.count, 1)
            compare(hideSpy.count, 1)
            tryCompare(popup, "visible", false)
        }

        // Open while the language changes, as on a unit where a passenger taps the flag.
        function test_popup_buttons_follow_the_language() {
            var popup = openPopup(true)
            var yes = findChild(popup.contentItem, "popupYesButton")
            var no = findChild(popup.contentItem, "popupNoButton")
            compare(yes.text, "Yes")
            compare(no.text, "No")
            manager.language = "el_GR"
            compare(yes.text, "Ναι")
            compare(no.text, "Όχι")
            manager.language = "en_IE"
            compare(yes.text, "Yes")
            popup.close()
        }

        function cleanup() {
            manager.language = "el_GR"
        }

        function test_image_box_never_vanishes() {
            var box = createTemporaryObject(imageBoxComponent, top)
            verify(box !== null)
            compare(box.width, top.width)
            compare(box.height, 100)
            tryCompare(box, "status", Image.Ready)
            var image = findChild(box, "iconImage")
            // Tinted by the image provider, not by a shader: the same in every backend.
            verify(image.visible)
            verify(image.source.toString().indexOf("image://tinted/ff0000/") === 0)
            if (!software) {
                // Until a frame shows it: loaded is not yet drawn.
                tryVerify(function() {
                    var shot = grabImage(box)
                    for (var x = 0; x < box.width; ++x) {
                        if (shot.pixel(x, 50) == "#ff0000")
                            return true
                    }
                    return false
                }, 10000, "the symbol is drawn in red")
            }
        }

        function test_round_button() {
            var button = createTemporaryObject(roundButtonComponent, top)
            verify(button !== null)
            compare(button.width, 70)
            var clickSpy = createSpy(button, "clicked")
            mousePress(button)
            verify(button.down)
            mouseRelease(button)
            verify(!button.down)
            compare(clickSpy.count, 1)
        }

        function test_custom_button_signals() {
            var button = createTemporaryObject(customButtonComponent, top)
            verify(button !== null)
            var pressSpy = createSpy(button, "pressed")
            var releaseSpy = createSpy(button, "released")
            var clickSpy = createSpy(button, "clicked")
            mousePress(button, 200, 60)
            compare(pressSpy.count, 1)
            verify(button.down)
            mouseRelease(button, 200, 60)
            compare(releaseSpy.count, 1)
            compare(clickSpy.count, 1)
            verify(!button.down)
        }

        function test_popup_message_closes_on_tap() {
            var popup = openPopup(false)
            verify(!findChild(popup.contentItem, "popupYesButton").visible)
            compare(popup.height, 200)
            mouseClick(popup.contentItem, 200, 100)
            tryCompare(popup, "visible", false)

            popup.open()
            tryCompare(popup, "opened", true)
            mouseClick(top, 10, 10)
            tryCompare(popup, "visible", false)
        }
    }
}
