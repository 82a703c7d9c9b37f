ScanMediumScreen {
    frames: "NFC"
    lastFrame: 6
    hint: manager.dynTr + qsTr("SCAN\nYOUR CARD")
    buttonIcon: "qrc:/qml/images/Icons/qr-code.svg"
    buttonText: manager.dynTr + qsTr("SCAN\nTICKET")
    otherScreen: "ScanBarcode"
}
