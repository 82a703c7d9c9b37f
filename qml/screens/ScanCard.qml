import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../controls"

Page {
    id: page

    // Where the medium button leads; the window switches to it.
    signal switchTo(string screen)

    background: null

    property int frame: 0

    NumberAnimation on frame {
        from: 0
        to: 6
        duration: 2300
        loops: Animation.Infinite
        running: page.visible
    }

    Image {
        anchors.centerIn: parent
        anchors.verticalCenterOffset: 10
        width: 480
        height: 536
        source: "qrc:/qml/images/NFC/" + page.frame + ".png"
    }
    TextBox {
        anchors.top: parent.top
        anchors.topMargin: 150
        anchors.right: parent.right
        anchors.rightMargin: 20
        width: 150
        height: 120
        horizontalAlignment: Text.AlignRight
        textSize: 14
        bold: true
        text: manager.dynTr + qsTr("SCAN\nYOUR CARD")
    }
    CustomButton {
        objectName: "switchButton"
        anchors.left: parent.left
        anchors.leftMargin: -10
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 20
        width: 270
        height: 120
        color: "#000621"
        borderWidth: 10
        borderColor: down ? "#36C478" : Material.accent
        icon: "qrc:/qml/images/Icons/qr-code.svg"
        iconColor: "white"
        textColor: "white"
        textSize: 12
        horizontalAlignment: Text.AlignLeft
        text: manager.dynTr + qsTr("SCAN\nTICKET")
        onClicked: page.switchTo("ScanBarcode")
    }
}
