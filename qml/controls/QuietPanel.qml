import QtQuick 2.15

// A dark, translucent panel that keeps text readable over the bright parts of the artwork
// (street lamps, headlights) while the picture still shows through.
Rectangle {
    color: Qt.rgba(0, 0.024, 0.13, 0.75) // the artwork's dark blue
    radius: 16
}
