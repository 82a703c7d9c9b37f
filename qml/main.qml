import QtQuick 2.15
import QtQuick.Window 2.15

Window {
    id: window

    visible: true
    width: 480
    height: 800
    title: "Pernix"
    color: "#0b2545"

    Text {
        anchors.centerIn: parent
        text: manager.message
        color: "white"
        font.pixelSize: 28
    }
}
