import QtQuick 2.15
import QtQuick.Controls 2.15

// The display's colour test over the whole screen: red, green, blue, one tap each; the last tap
// ends it.
Rectangle {
    id: test

    // The shell hides its header for it.
    readonly property bool fullScreen: true
    property int step: 0

    // The last tap: the technician has seen all three colours.
    signal finished()

    objectName: "colourTest"
    color: [Qt.rgba(1, 0, 0, 1), Qt.rgba(0, 1, 0, 1), Qt.rgba(0, 0, 1, 1)][step]

    MouseArea {
        anchors.fill: parent
        onClicked: {
            if (test.step < 2)
                test.step += 1
            else {
                test.finished()
                test.StackView.view.pop()
            }
        }
    }
}
