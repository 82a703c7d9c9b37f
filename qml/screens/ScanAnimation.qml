import QtQuick 2.15

// One frame of the card ("NFC") or ticket ("Barcode") animation; a frame outside it shows 0.
Image {
    property string frames: "NFC"
    property int lastFrame: 6
    property int frame: 0

    anchors.centerIn: parent
    anchors.verticalCenterOffset: 10
    width: 480
    height: 536
    source: "qrc:/qml/images/" + frames + "/" + (frame >= 0 && frame <= lastFrame ? frame : 0)
            + ".png"
}
