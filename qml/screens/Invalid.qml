import "../controls"

ResultScreen {
    icon: "qrc:/qml/images/Icons/invalid.svg"
    iconColor: Theme.invalid
    titleText: manager.dynTr + qsTr("INVALID")

    TextBox {
        objectName: "denyReason"
        width: parent.width
        height: 100
        leftMargin: Theme.textMargin
        rightMargin: Theme.textMargin
        textSize: Theme.textSize
        text: transaction.denyReason !== undefined ? transaction.denyReason : ""
    }
}
