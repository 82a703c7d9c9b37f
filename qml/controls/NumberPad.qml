import QtQuick 2.15

// A grid of 12 keys. The key at position 9 emits customLeftPressed, the one at 11
// customRightPressed, every other key calcNumberPressed, each with the key's text.
Grid {
    id: pad

    property NumberPadStyle style: NumberPadStyle {}

    signal calcNumberPressed(string text)
    signal customLeftPressed(string text)
    signal customRightPressed(string text)

    // enableAll: every key usable; otherwise the listed positions (all when none are listed)
    // are disabled and faded.
    function controlButtons(enableAll, indices) {
        for (var i = 0; i < keys.count; ++i) {
            var off = !enableAll && (indices.length === 0 || indices.indexOf(i) >= 0)
            keys.itemAt(i).enabled = !off
            keys.itemAt(i).opacity = off ? 0.3 : 1.0
        }
    }

    columns: 3
    columnSpacing: style.columnSpacing
    rowSpacing: style.rowSpacing

    Repeater {
        id: keys

        model: pad.style.model
        delegate: Rectangle {
            id: key

            objectName: "key" + index
            readonly property string text: modelData

            width: pad.style.keyWidth
            height: pad.style.keyHeight
            radius: pad.style.radius
            color: area.pressed ? pad.style.pressedColor(index) : pad.style.keyColor(index)

            Text {
                anchors.centerIn: parent
                font: pad.style.font
                color: pad.style.textColor(index)
                text: key.text
            }
            MouseArea {
                id: area

                anchors.fill: parent
                onClicked: {
                    if (index === 9)
                        pad.customLeftPressed(key.text)
                    else if (index === 11)
                        pad.customRightPressed(key.text)
                    else
                        pad.calcNumberPressed(key.text)
                }
            }
        }
    }
}
