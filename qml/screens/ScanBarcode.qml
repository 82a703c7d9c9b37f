ScanMediumScreen {
    frames: "Barcode"
    lastFrame: 8
    hint: manager.dynTr + qsTr("SCAN YOUR\nTICKET")
    buttonIcon: "qrc:/qml/images/Icons/nfc.svg"
    buttonText: manager.dynTr + qsTr("SCAN\nCARD")
    otherScreen: "ScanCard"
}
