import QtQuick 2.15
import "../controls"

// What to do, right-aligned beside the animation, in two lines in every language.
TextBox {
    anchors.top: parent.top
    anchors.topMargin: 150
    anchors.right: parent.right
    anchors.rightMargin: 20
    width: 150
    height: 120
    horizontalAlignment: Text.AlignRight
    textSize: 14
    bold: true
}
