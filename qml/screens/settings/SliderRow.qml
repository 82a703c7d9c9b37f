import QtQuick 2.15
import QtQuick.Controls 2.15

// A label with the slider's position as a whole percentage at the right, the slider (0 to 100)
// below. The value is set by the page; a release reports the new position.
Column {
    id: row

    property string label
    property real value
    readonly property alias slider: slider

    signal released(int value)

    width: parent ? parent.width : 0

    Item {
        width: parent.width
        height: 30

        Label {
            anchors.left: parent.left
            anchors.verticalCenter: parent.verticalCenter
            text: row.label
        }
        Label {
            objectName: "percentage"
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            text: Math.round(slider.value) + "%"
        }
    }
    Slider {
        id: slider

        objectName: "slider"
        width: parent.width
        from: 0
        to: 100
        stepSize: 1
        value: row.value
        onPressedChanged: if (!pressed) row.released(Math.round(value))

        ToolTip {
            parent: slider.handle
            visible: slider.pressed
            text: Math.round(slider.value) + "%"
        }
    }
}
