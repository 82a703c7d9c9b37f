import "../controls"

ResultScreen {
    icon: "qrc:/qml/images/Icons/warning.svg"
    iconColor: Theme.warning
    iconSize: Qt.size(300, 300)
    titleText: manager.dynTr + qsTr("OUT OF SERVICE")
    titleSize: Theme.alertTitleSize
    titleMargin: Theme.textMargin
    lineHeight: 40
    separator: false
}
