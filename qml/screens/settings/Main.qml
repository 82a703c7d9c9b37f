import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../controls"

// The maintenance shell: a header (back, title, menu), the page stack starting at the settings
// list, the confirmation and barcode pop-ups and the on-screen keyboard.
Page {
    id: shell

    readonly property alias stack: stack

    // Back to the list, nothing open: every time the shell is shown or left.
    function reset() {
        stack.pop(null)
        title.text = "Settings"
        menu.close()
        confirmPopup.close()
        barcodePopup.close()
        Qt.inputMethod.hide()
    }
    function confirm(command) {
        confirmPopup.command = command
        confirmPopup.open()
    }

    onVisibleChanged: reset()

    background: Rectangle {
        color: shell.Material.background
    }

    header: Rectangle {
        objectName: "shellHeader"
        // A page that needs the whole screen (the colour test) hides it.
        readonly property bool hidden: !!stack.currentItem && stack.currentItem.fullScreen === true

        height: hidden ? 0 : 70
        visible: !hidden
        color: shell.Material.theme === Material.Dark ? "#1c1c1c" : "#e8e8e8"
        onVisibleChanged: if (!visible) menu.close()

        ToolButton {
            id: back

            objectName: "shellBackButton"
            anchors.left: parent.left
            anchors.verticalCenter: parent.verticalCenter
            width: 70
            height: 70
            visible: stack.depth > 1
            contentItem: ShellIcon {
                source: "qrc:/qml/images/Icons/chevron-back.svg"
            }
            onClicked: {
                stack.pop()
                Qt.inputMethod.hide()
            }
        }
        Label {
            id: title

            objectName: "shellTitle"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.leftMargin: 75
            anchors.rightMargin: 75
            anchors.verticalCenter: parent.verticalCenter
            horizontalAlignment: Text.AlignHCenter
            elide: Text.ElideRight
            font.pixelSize: 28
            text: "Settings"
        }
        ToolButton {
            objectName: "menuButton"
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            width: 70
            height: 70
            contentItem: ShellIcon {
                source: "qrc:/qml/images/Icons/menu.svg"
            }
            onClicked: menu.open()

            Menu {
                id: menu

                objectName: "shellMenu"
                y: parent.height
                // Without the style's shadow layer, which the software renderer cannot draw.
                background: Rectangle {
                    implicitWidth: 220
                    implicitHeight: 48
                    color: shell.Material.dialogColor
                    border.color: shell.Material.dividerColor
                }
                x: parent.width - width

                MenuItem {
                    text: "Scan Config QR"
                    onTriggered: {
                        barcodePopup.text = "Scan Configuration QR code"
                        barcodePopup.open()
                    }
                }
                MenuItem {
                    text: "Restart Application"
                    onTriggered: shell.confirm("restart")
                }
                MenuItem {
                    text: "Reboot"
                    onTriggered: shell.confirm("reboot")
                }
                MenuItem {
                    text: "Shutdown"
                    onTriggered: shell.confirm("shutdown")
                }
                MenuItem {
                    text: "Logout"
                    onTriggered: manager.settingsLogoutRequest()
                }
            }
        }
    }

    StackView {
        id: stack

        objectName: "settingsStack"
        anchors.fill: parent
        // However a page was left (the back button, or the page closing itself).
        onDepthChanged: if (depth === 1) title.text = "Settings"
        initialItem: SettingsList {
            onChosen: {
                // One level from the list; pages push their own sub-pages.
                if (stack.depth > 1)
                    return
                title.text = name
                stack.push(page)
            }
        }
    }

    CustomPopup {
        id: confirmPopup

        objectName: "confirmPopup"
        property string command

        dialog: true
        text: manager.dynTr + qsTr("Are you sure?")
        onButtonYesPressed: {
            if (command === "reboot")
                manager.rebootRequest()
            else if (command === "shutdown")
                manager.shutdownRequest()
            else if (command === "restart")
                manager.exitRequest()
        }
    }

    // The reader accepts configuration codes only while this is open.
    CustomPopup {
        id: barcodePopup

        objectName: "barcodePopup"
        dialog: false
        onOpened: validatorManager.enableBarcode()
        onClosed: validatorManager.disableBarcode()
    }

    Connections {
        target: manager
        function onBarcodeConfigurationApplied(configList) {
            barcodePopup.text = "CONFIGURATION APPLIED\n" + configList.join("\n")
            barcodePopup.open()
        }
    }

    // Slides in over the bottom of the page while a field has focus.
    Loader {
        id: keyboard

        objectName: "keyboard"
        width: shell.width
        height: 250
        // Only for a field of the shell's own: a hidden screen's field may keep the focus.
        y: Qt.inputMethod.visible && shell.visible && shell.activeFocus ? parent.height - height
                                                                         : parent.height
        visible: status === Loader.Ready && y < parent.height
        source: "qrc:/qml/screens/SerialKeyboard.qml"

        Behavior on y {
            NumberAnimation {
                duration: 150
                easing.type: Easing.InOutQuad
            }
        }
    }
}
