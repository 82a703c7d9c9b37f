import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Window 2.15
import "controls"

ApplicationWindow {
    id: window

    // The screen shown; follows the manager, but for the local card/ticket switch.
    property string currentScreen: "Busy"
    readonly property var screens: [
        { name: "InitPage", file: "qrc:/qml/screens/InitPage.qml", lazy: true },
        { name: "Busy", file: "qrc:/qml/screens/Busy.qml" },
        { name: "ScanCard", file: "qrc:/qml/screens/ScanCard.qml" },
        { name: "ScanBarcode", file: "qrc:/qml/screens/ScanBarcode.qml" },
        { name: "ScanScreens", file: "qrc:/qml/screens/ScanScreens.qml" },
        { name: "Valid", file: "qrc:/qml/screens/Valid.qml" },
        { name: "Invalid", file: "qrc:/qml/screens/Invalid.qml" },
        { name: "AlreadyValid", file: "qrc:/qml/screens/AlreadyValid.qml" },
        { name: "Retry", file: "qrc:/qml/screens/Retry.qml" },
        { name: "OutOfOrder", file: "qrc:/qml/screens/OutOfOrder.qml" },
        { name: "OutOfService", file: "qrc:/qml/screens/OutOfService.qml" },
        { name: "ScreenSaver", file: "qrc:/qml/screens/ScreenSaver.qml" },
        { name: "Settings", file: "qrc:/qml/screens/settings/Main.qml", lazy: true },
        { name: "Login", file: "qrc:/qml/screens/settings/Login.qml", lazy: true }
    ]

    x: 0
    y: -1
    width: 480
    height: 800
    visible: true
    title: "Validator"
    font.family: "DejaVu Sans"

    Connections {
        target: manager
        function onScreenChanged() {
            console.log("[QML] Screen changed : " + manager.screen)
            window.currentScreen = manager.screen
        }
        function onErrorOccured(error) {
            console.log("[QML] Error occured : " + error)
            errorPopup.text = error
            errorPopup.open()
        }
        function onLanguageChanged() {
            window.locale = Qt.locale(manager.language)
        }
    }

    background: Image {
        objectName: "background"
        source: "qrc:/qml/images/background.png"
        fillMode: Image.Stretch
    }

    header: Header {
        id: header

        height: 120
        // Drawn over the dark artwork: light text whatever the theme.
        Material.theme: Material.Dark
        visible: window.currentScreen !== "Settings" && window.currentScreen !== "ScreenSaver"
        language: manager.language
        onLanguageToggled: manager.language = manager.language === "el_GR" ? "en_IE" : "el_GR"
        onMagicButtonPressed: manager.setMaintenanceScreen()
    }

    // Under the screens, so that no control (the keyboard's keys) is ever covered by it.
    Label {
        objectName: "version"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 10
        font.pixelSize: 12
        color: Material.color(Material.Grey, Material.Shade700)
        text: "v" + Qt.application.version
    }

    Item {
        id: content

        anchors.fill: parent

        Repeater {
            model: window.screens
            delegate: Loader {
                objectName: "screen_" + modelData.name
                anchors.fill: parent
                // The passenger screens are made at start, in the background after the first
                // frame; one that must show before it is ready is finished at once. The
                // installer's and the technician's (with their keyboards) are made when first
                // needed and then kept; the shell is prepared while the PIN is typed.
                readonly property bool wanted: window.currentScreen === modelData.name
                    || (modelData.name === "Settings" && window.currentScreen === "Login")
                asynchronous: !visible
                active: !modelData.lazy
                source: modelData.file
                visible: window.currentScreen === modelData.name
                onWantedChanged: if (wanted) active = true
                Component.onCompleted: if (wanted) active = true
                // The theme switch is for the maintenance area; the passenger screens are drawn
                // over the dark artwork and keep light text.
                Material.theme: modelData.name === "Settings" || modelData.name === "Login"
                                ? window.Material.theme : Material.Dark

                // The card and ticket screens switch to each other without the manager.
                Connections {
                    target: item
                    ignoreUnknownSignals: true
                    function onSwitchTo(screen) {
                        window.currentScreen = screen
                    }
                }
            }
        }
    }

    // Over the whole window, the header included.
    MouseArea {
        objectName: "cursorArea"
        parent: window.contentItem.parent
        anchors.fill: parent
        z: 1000
        enabled: false
        cursorShape: manager.showCursor ? Qt.ArrowCursor : Qt.BlankCursor
    }

    CustomPopup {
        id: errorPopup

        objectName: "errorPopup"
        dialog: false
    }
}
