import QtQuick 2.15
import QtQuick.Controls 2.15
import "../controls"

Page {
    id: page

    background: null
    locale: Qt.locale(manager.language)

    Column {
        anchors.fill: parent

        ImageBox {
            width: parent.width
            icon: "qrc:/qml/images/Icons/valid.svg"
            iconColor: "#41b987"
        }
        TextBox {
            objectName: "title"
            width: parent.width
            height: 100
            text: manager.dynTr + qsTr("VALID")
            textSize: 32
            bold: true
        }
        TextBox {
            objectName: "fareProduct"
            width: parent.width
            height: 100
            text: transaction.fareProduct !== undefined ? transaction.fareProduct : ""
            textSize: 14
        }
        ResultSeparator {}
        TransactionDetails {
            objectName: "details"
            width: parent.width
            result: transaction
            locale: page.locale
            words: ({
                remaining: manager.dynTr + qsTr("Remaining"),
                trips: manager.dynTr + qsTr("Trips"),
                balance: manager.dynTr + qsTr("Balance"),
                deducted: manager.dynTr + qsTr("Deducted"),
                expires: manager.dynTr + qsTr("Expires"),
                day: manager.dynTr + qsTr("day"),
                days: manager.dynTr + qsTr("days"),
                hour: manager.dynTr + qsTr("hour"),
                hours: manager.dynTr + qsTr("hours"),
                min: manager.dynTr + qsTr("min"),
                mins: manager.dynTr + qsTr("mins")
            })
        }
    }
}
