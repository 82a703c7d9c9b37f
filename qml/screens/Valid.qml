import "../controls"

ResultScreen {
    icon: "qrc:/qml/images/Icons/valid.svg"
    iconColor: Theme.valid
    titleText: manager.dynTr + qsTr("VALID")
    line: transaction.fareProduct !== undefined ? transaction.fareProduct : ""
    lineName: "fareProduct"

    TransactionDetails {
        objectName: "details"
        width: parent.width
        result: transaction
        context: "Valid"
    }
}
