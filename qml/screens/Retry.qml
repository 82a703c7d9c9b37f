import QtQuick 2.15
import QtQuick.Controls 2.15
import "../controls"

Page {
    background: null

    Column {
        anchors.fill: parent

        ImageBox {
            width: parent.width
            icon: "qrc:/qml/images/Icons/retry.svg"
            iconColor: "#fcdb03"
        }
        TextBox {
            width: parent.width
            height: 200
            leftMargin: 40
            rightMargin: 40
            text: manager.dynTr + qsTr("PLEASE TRY AGAIN")
            textSize: 24
            bold: true
        }
        ResultSeparator {}
        Item {
            width: parent.width
            height: 100
        }
    }
}
