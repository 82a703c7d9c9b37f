import QtQuick 2.15
import QtQuick.Controls 2.15
import "../controls"

// One cell of a detail block: a left or a right column, or the whole width when centred.
Label {
    property int column: Text.AlignLeft
    property real textSize: Theme.textSize
    property bool bold: false

    width: column === Text.AlignHCenter ? parent.width : parent.width / 2
    leftPadding: column === Text.AlignLeft ? Theme.textMargin : 0
    rightPadding: column === Text.AlignRight ? Theme.textMargin : 0
    horizontalAlignment: column
    verticalAlignment: Text.AlignVCenter
    font.pointSize: textSize
    font.bold: bold
    elide: Text.ElideRight
}
