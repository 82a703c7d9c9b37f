import QtQuick 2.15

// One frame of the card ("NFC") or ticket ("Barcode") animation; a frame outside it shows 0.
// Every frame of both animations is decoded once and kept: a frame switch only shows another
// image, with no decoding and no texture upload while the animation runs.
Item {
    id: animation

    property string frames: "NFC"
    property int lastFrame: 6
    property int frame: 0
    readonly property int shown: frame >= 0 && frame <= lastFrame ? frame : 0

    anchors.centerIn: parent
    anchors.verticalCenterOffset: 10
    width: 480
    height: 536

    Repeater {
        model: [["NFC", 7], ["Barcode", 9]]

        Repeater {
            id: frameSet

            readonly property string name: modelData[0]

            model: modelData[1]

            Image {
                anchors.fill: parent
                // The first frame is there with the screen; the others are decoded in the
                // background meanwhile.
                asynchronous: index > 0
                source: "qrc:/qml/images/" + frameSet.name + "/" + index + ".png"
                visible: animation.frames === frameSet.name && index === animation.shown
            }
        }
    }
}
