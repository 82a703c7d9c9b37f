import QtQuick 2.15

// Top bar: language flag on the left, clock (and hidden maintenance button) on the right.
Item {
    id: root

    property string language: ""
    readonly property alias clock: clock

    signal languageToggled()
    signal magicButtonPressed()

    implicitHeight: 120

    RoundButton {
        id: flagButton
        objectName: "languageButton"
        anchors.left: parent.left
        anchors.leftMargin: 30
        anchors.verticalCenter: parent.verticalCenter
        radius: 35
        // The flag fills the round button.
        imageSize: 70
        pngImage: true
        // The flag shows the language a tap switches to.
        source: root.language === "el_GR" ? "qrc:/qml/images/Flags/uk.png"
                                          : "qrc:/qml/images/Flags/gr.png"
        onClicked: root.languageToggled()
    }

    Clock {
        id: clock
        objectName: "clock"
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        locale: Qt.locale(root.language)
        dateFormat: "dd-MMM-yyyy"
        timeFormat: "hh:mm"
        onPressAndHold: root.magicButtonPressed()
    }
}
