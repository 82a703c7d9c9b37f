import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15

// The maintenance pages against the real core (no broker behind it).
Item {
    id: top

    width: 480
    height: 800

    TestCase {
        id: test

        name: "Maintenance"
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
        function key(pad, index) {
            return findChild(pad, "key" + index)
        }

        function init() {
            manager.language = "en_IE"
        }
        function cleanup() {
            manager.language = "el_GR"
        }

        function test_numberPad_entry() {
            var page = create("qrc:/qml/screens/settings/Login.qml")
            var pad = findChild(page, "numberPad")
            var login = findChild(page, "loginButton")
            var text = findChild(page, "entryText")
            compare(text.text, "Pin")
            verify(!login.enabled)

            mouseClick(key(pad, 0)) // "1"
            mouseClick(key(pad, 10)) // "0"
            compare(page.entry, "10")
            compare(text.text, "10") // shown as typed
            verify(login.enabled)

            mouseClick(key(pad, 9)) // left arrow
            compare(page.entry, "1")
            mouseClick(key(pad, 9))
            compare(page.entry, "")
            compare(text.text, "Pin")
            compare(text.color, page.hintGrey)
            verify(!login.enabled)
            mouseClick(key(pad, 9)) // nothing left to remove
            compare(page.entry, "")

            mouseClick(key(pad, 4))
            mouseClick(key(pad, 5))
            mouseClick(key(pad, 11)) // "CLR"
            compare(page.entry, "")
            verify(!login.enabled)
        }

        function test_numberPad_layouts_data() {
            return [
                { tag: "phone", phone: true, first: "1", seventh: "7" },
                { tag: "keypad", phone: false, first: "7", seventh: "1" }
            ]
        }

        function test_numberPad_layouts(data) {
            var page = create("qrc:/qml/screens/settings/Login.qml")
            var pad = findChild(page, "numberPad")
            pad.style.phoneLayout = data.phone
            compare(key(pad, 0).text, data.first)
            compare(key(pad, 6).text, data.seventh)
            compare(key(pad, 9).text, "\u2190")
            compare(key(pad, 11).text, "CLR")
            pad.style.customModel = ["a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"]
            pad.style.overrideModel = true
            compare(key(pad, 0).text, "a")
            // The control keys, in light and dark.
            pad.style.dark = false
            compare(key(pad, 9).color, "#d6d6d6")
            compare(key(pad, 0).color, "#ffffff")
            pad.style.dark = true
            compare(key(pad, 11).color, "#707070")
            compare(key(pad, 0).color, "#000000")
        }

        function test_numberPad_controlButtons_data() {
            return [
                { tag: "all enabled", all: true, indices: [], disabled: [] },
                { tag: "some disabled", all: false, indices: [0, 9, 11], disabled: [0, 9, 11] },
                { tag: "all disabled", all: false, indices: [],
                  disabled: [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11] }
            ]
        }

        function test_numberPad_controlButtons(data) {
            var page = create("qrc:/qml/screens/settings/Login.qml")
            var pad = findChild(page, "numberPad")
            pad.controlButtons(false, []) // from all disabled, so "all enabled" shows a change
            pad.controlButtons(data.all, data.indices)
            for (var i = 0; i < 12; ++i) {
                var off = data.disabled.indexOf(i) >= 0
                compare(key(pad, i).enabled, !off, "key " + i)
                compare(key(pad, i).opacity, off ? 0.3 : 1.0, "key " + i)
            }
            if (data.disabled.indexOf(0) >= 0) {
                mouseClick(key(pad, 0))
                compare(page.entry, "")
            }
        }

        function test_login_deniedShakesAndEmpties() {
            var page = create("qrc:/qml/screens/settings/Login.qml")
            page.entry = "1111"
            manager.settingsAccessDenied()
            compare(page.entry, "")
            verify(page.shaking)
            tryCompare(page, "shaking", false)
            compare(findChild(page, "entryText").text, "Pin")
        }

        function test_login_entryEmptiedWhenShownOrHidden() {
            var page = create("qrc:/qml/screens/settings/Login.qml")
            page.entry = "12"
            page.visible = false
            compare(page.entry, "")
            page.entry = "34"
            page.visible = true
            compare(page.entry, "")
        }

        function test_validatorConfig_saveFollowsChanges_data() {
            return [
                { tag: "URL", item: "obuUrlField", property: "text", to: "mqtt://other:1883" },
                { tag: "passback", item: "passbackSpin", property: "value", to: 42 },
                { tag: "shutdown delay", item: "shutdownDelaySpin", property: "value", to: 300 },
                { tag: "QR passback", item: "qrPassbackSwitch", property: "checked", toggle: true },
                { tag: "error description", item: "errorDescriptionSwitch", property: "checked",
                  toggle: true }
            ]
        }

        function test_validatorConfig_saveFollowsChanges(data) {
            var page = create("qrc:/qml/screens/settings/ValidatorConfig.qml")
            var save = findChild(page, "saveButton")
            var control = findChild(page, data.item)
            verify(!save.enabled)
            var before = control[data.property]
            control[data.property] = data.toggle ? !before : data.to
            verify(save.enabled)
            control[data.property] = before // changed back
            verify(!save.enabled)
        }

        function test_display_brightnessOnlyInManual() {
            var page = create("qrc:/qml/screens/settings/Display.qml")
            var box = findChild(page, "brightnessModeBox")
            var row = findChild(page, "brightnessRow")
            box.currentIndex = 0
            compare(box.currentText, "auto")
            verify(!row.enabled)
            verify(!row.slider.enabled)
            box.currentIndex = 1
            verify(row.slider.enabled)
        }

        function test_shell_oneLevelFromTheList() {
            var shell = create("qrc:/qml/screens/settings/Main.qml", { height: 800 })
            var title = findChild(shell, "shellTitle")
            var back = findChild(shell, "shellBackButton")
            compare(title.text, "Settings")
            verify(!back.visible)
            findChild(shell, "row_Validator").clicked()
            tryCompare(shell.stack, "depth", 2)
            compare(title.text, "Validator")
            verify(back.visible)
            // The list is still under the page: a second choice is ignored.
            findChild(shell, "row_Audio").clicked()
            wait(50)
            compare(shell.stack.depth, 2)
            compare(title.text, "Validator")
            // A page pushes its own sub-page.
            tryCompare(shell.stack, "busy", false)
            mouseClick(findChild(shell.stack.currentItem, "configureButton"))
            tryCompare(shell.stack, "depth", 3)
            back.clicked()
            back.clicked()
            tryCompare(shell.stack, "depth", 1)
            compare(title.text, "Settings")
        }

        function test_shell_resetWhenShownOrHidden_data() {
            return [ { tag: "hidden", visible: false }, { tag: "shown again", visible: true } ]
        }

        function test_shell_resetWhenShownOrHidden(data) {
            var shell = create("qrc:/qml/screens/settings/Main.qml", { height: 800 })
            if (data.visible)
                shell.visible = false
            findChild(shell, "row_Display").clicked()
            tryCompare(shell.stack, "depth", 2)
            shell.confirm("reboot")
            var confirm = findChild(shell, "confirmPopup")
            tryCompare(confirm, "opened", true)
            shell.visible = data.visible
            compare(shell.stack.depth, 1)
            compare(findChild(shell, "shellTitle").text, "Settings")
            tryCompare(confirm, "visible", false)
        }

        function test_shell_configurationAppliedOpensThePopup() {
            var shell = create("qrc:/qml/screens/settings/Main.qml", { height: 800 })
            var popup = findChild(shell, "barcodePopup")
            verify(!popup.visible)
            manager.barcodeConfigurationApplied(["Passback Time : 120 sec(s)", "Ethernet : dhcp"])
            tryCompare(popup, "opened", true)
            compare(popup.text, "CONFIGURATION APPLIED\nPassback Time : 120 sec(s)\nEthernet : dhcp")
            popup.close()
        }

        function test_audio_volumeOnlyWithAudio() {
            var page = create("qrc:/qml/screens/settings/Audio.qml")
            var audio = findChild(page, "audioSwitch")
            var row = findChild(page, "volumeRow")
            audio.checked = false
            verify(!row.slider.enabled)
            audio.checked = true
            verify(row.slider.enabled)
        }
    }
}
