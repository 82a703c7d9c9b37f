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
            iconColor: "#fcdb03"
        }
        TextBox {
            width: parent.width
            height: 100
            leftMargin: 35
            rightMargin: 35
            text: manager.dynTr + qsTr("OUT OF SERVICE")
            textSize: 20
            bold: true
        }
        TextBox {
            width: parent.width
            height: 40
            text: ""
            textSize: 14
        }
    }
}
