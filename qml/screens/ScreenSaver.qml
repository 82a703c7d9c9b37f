import QtQuick 2.15

Rectangle {
    color: manager.screenSaverBg

    Image {
        anchors.centerIn: parent
        width: 300
        height: 300
        sourceSize: Qt.size(300, 300)
        fillMode: Image.PreserveAspectFit
        source: manager.screenSaverImg
        asynchronous: true
    }
}
