pragma Singleton
import QtQuick 2.15

// The colours, text sizes and margins of the passenger screens, in one place.
QtObject {
    // Result symbols.
    readonly property color valid: "#41b987"
    readonly property color invalid: "#db4a37"
    readonly property color warning: "#fcdb03"

    // The dark blue of the artwork: button fills, text on accent fills, quiet panels.
    readonly property color navy: "#000621"
    readonly property color pressed: "#36C478"
    readonly property color separator: "white"
    // Red that stays readable on the dark panels.
    readonly property color errorText: "#e57373"

    // Point sizes.
    readonly property real titleSize: 32
    readonly property real longTitleSize: 24
    readonly property real alertTitleSize: 20
    readonly property real textSize: 14
    readonly property real captionSize: 10
    readonly property real buttonTextSize: 12

    // No text comes closer than this to the window's edges.
    readonly property real edgeMargin: 24
    // The side margin of result texts and detail columns.
    readonly property real textMargin: 35
}
