import "../controls"

ResultScreen {
    icon: "qrc:/qml/images/Icons/warning.svg"
    iconColor: Theme.invalid
    iconSize: Qt.size(300, 300)
    titleText: manager.dynTr + qsTr("OUT OF ORDER")
    titleSize: Theme.alertTitleSize
    line: manager.message
    lineName: "message"
    separator: false
}
