import QtQuick 2.15
import QtQuick.Controls 2.15
import "../controls"

Page {
    background: null

    Column {
        anchors.fill: parent

        ImageBox {
            width: parent.width
            icon: "qrc:/qml/images/Icons/invalid.svg"
            iconColor: "#db4a37"
        }
        TextBox {
            objectName: "title"
            width: parent.width
            height: 100
            text: manager.dynTr + qsTr("INVALID")
            textSize: 32
            bold: true
        }
        Item {
            width: parent.width
            height: 100
        }
        ResultSeparator {}
        TextBox {
            objectName: "denyReason"
            width: parent.width
            height: 100
            leftMargin: 35
            rightMargin: 25
            textSize: 14
            text: transaction.denyReason !== undefined ? transaction.denyReason : ""
        }
    }
}
