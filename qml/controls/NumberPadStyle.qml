import QtQuick 2.15

// The look and the keys of a NumberPad: 12 keys read row by row in a 4 x 3 grid.
QtObject {
    id: style

    // Phone order (1 2 3 on top) or keypad order (7 8 9 on top).
    property bool phoneLayout: true
    // A model of one's own, used instead of either layout.
    property bool overrideModel: false
    property var customModel: []
    property bool dark: false
    readonly property string clearText: manager.dynTr + qsTr("CLR")

    readonly property var phoneModel: ["1", "2", "3", "4", "5", "6", "7", "8", "9", "\u2190", "0",
                                       clearText]
    readonly property var keypadModel: ["7", "8", "9", "4", "5", "6", "1", "2", "3", "\u2190", "0",
                                        clearText]
    readonly property var model: overrideModel ? customModel
                                               : (phoneLayout ? phoneModel : keypadModel)

    readonly property real keyWidth: 118
    readonly property real keyHeight: 70
    readonly property real columnSpacing: 6
    readonly property real rowSpacing: 7
    readonly property real radius: 4
    readonly property font font: Qt.font({ family: "Arial", pointSize: 16, weight: Font.Medium })

    // The two keys either side of "0".
    function isControlKey(index) {
        return index === 9 || index === 11
    }
    function keyColor(index) {
        if (isControlKey(index))
            return dark ? "#707070" : "#D6D6D6" // white reads on it at 4.5:1
        return dark ? "black" : "white"
    }
    function textColor(index) {
        return dark ? "white" : "black"
    }
    function pressedColor(index) {
        return Qt.darker(Qt.darker(keyColor(index)))
    }
}
