import QtQuick 2.15
import QtQuick.VirtualKeyboard 2.15

// The on-screen keyboard of the serial-number page. Kept apart so that the page still works
// (with a hardware keyboard) on a platform that has no virtual keyboard.
InputPanel {
    // Shown only while a field takes input: the keyboard moves itself next to a pop-up that
    // takes the focus, out of the item that hides it.
    visible: active
}
