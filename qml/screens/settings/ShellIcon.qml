import QtQuick 2.15
import QtQuick.Controls.Material 2.15
import "../../controls"

// A header button's symbol, in the theme's text colour.
Item {
    property url source

    Image {
        anchors.centerIn: parent
        width: 32
        height: 32
        sourceSize: Qt.size(32, 32)
        source: Tinted.source(parent.source, parent.Material.foreground)
    }
}
