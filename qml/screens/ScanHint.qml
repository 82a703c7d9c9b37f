import QtQuick 2.15
import "../controls"

// What to do, right-aligned beside the animation, in two lines in every language.
TextBox {
    anchors.top: parent.top
    anchors.topMargin: 150
    anchors.right: parent.right
    anchors.rightMargin: Theme.edgeMargin
    // Wide enough for the longest line of the hints in every language.
    width: 200
    height: 120
    horizontalAlignment: Text.AlignRight
    textSize: 14
    bold: true
}
