import QtQuick 2.15
import QtQuick.Controls 2.15
import "../controls"

Page {
    id: page

    background: null

    BusyIndicator {
        id: spinner

        anchors.horizontalCenter: parent.horizontalCenter
        y: 200
        width: Math.min(page.width, page.height) / 5
        height: width
        running: page.visible
    }
    Label {
        objectName: "message"
        anchors.top: spinner.bottom
        anchors.topMargin: 30
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: Theme.edgeMargin
        anchors.rightMargin: Theme.edgeMargin
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
        font.pointSize: 22
        text: manager.dynTr + manager.message
    }
}
