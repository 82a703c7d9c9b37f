import QtQuick 2.15
import QtQuick.Window 2.15

Window {
    id: window

    visible: true
    width: 480
    height: 800
    title: "Pernix"
    color: "#0b2545"

    Column {
        anchors.centerIn: parent
        spacing: 16

        Text {
            objectName: "screenName"
            anchors.horizontalCenter: parent.horizontalCenter
            text: manager.screen
            color: "white"
            font.pixelSize: 36
        }
        Text {
            objectName: "message"
            anchors.horizontalCenter: parent.horizontalCenter
            text: manager.dynTr + manager.message
            color: "#c8d6e5"
            font.pixelSize: 24
        }
    }
}
