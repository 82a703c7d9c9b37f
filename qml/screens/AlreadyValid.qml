import "../controls"

ResultScreen {
    icon: "qrc:/qml/images/Icons/warning.svg"
    iconColor: Theme.warning
    titleText: manager.dynTr + qsTr("ALREADY VALIDATED")
    titleSize: Theme.longTitleSize
    line: transaction.fareProduct !== undefined ? transaction.fareProduct : ""
    lineName: "fareProduct"

    TransactionDetails {
        objectName: "details"
        width: parent.width
        result: transaction
        showCapping: false
        context: "AlreadyValid"
    }
}
