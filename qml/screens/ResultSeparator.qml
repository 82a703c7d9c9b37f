import QtQuick 2.15
import "../controls"

// The white bar between a result's title and its details.
Item {
    width: parent ? parent.width : 480
    height: 10

    Rectangle {
        anchors.centerIn: parent
        width: parent.width - 70
        height: 4
        radius: 4
        color: Theme.separator
    }
}
