import QtQuick 2.15
import "../controls"

ResultScreen {
    icon: "qrc:/qml/images/Icons/retry.svg"
    iconColor: Theme.warning
    titleText: manager.dynTr + qsTr("PLEASE TRY AGAIN")
    titleSize: Theme.longTitleSize
    titleHeight: 200
    titleMargin: 40
    lineHeight: 0

    Item {
        width: parent.width
        height: 100
    }
}
