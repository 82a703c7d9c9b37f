import QtQuick 2.15
import QtQuick.Controls 2.15
import "../controls"

Page {
    background: null

    Column {
        anchors.fill: parent

        ImageBox {
            width: parent.width
            icon: "qrc:/qml/images/Icons/warning.svg"
            iconSize: Qt.size(300, 300)
            iconColor: "#db4a37"
        }
        TextBox {
            width: parent.width
            height: 100
            text: manager.dynTr + qsTr("OUT OF ORDER")
            textSize: 20
            bold: true
        }
        TextBox {
            objectName: "message"
            width: parent.width
            height: 100
            text: manager.message
            textSize: 14
        }
    }
}
