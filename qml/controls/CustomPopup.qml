import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

// Modal message box centred in the window; as a dialog it asks Yes/No and stays until answered.
Popup {
    id: root

    property string text: ""
    property url image
    property bool dialog: false
    // Bound by the screen to the manager's retranslation trigger.

    readonly property bool hasImage: root.image.toString() !== ""

    signal buttonYesPressed()
    signal buttonNoPressed()

    parent: Overlay.overlay
    anchors.centerIn: Overlay.overlay
    width: 400
    height: hasImage ? 300 : 200
    modal: true
    padding: 0
    closePolicy: dialog ? Popup.NoAutoClose : Popup.CloseOnReleaseOutside

    // The screen behind dims to the artwork's dark blue rather than the style's grey wash.
    Overlay.modal: Rectangle {
        color: Qt.rgba(0, 0.024, 0.13, 0.6)
    }

    background: Rectangle {
        color: root.Material.background
        border.color: root.Material.accent
        border.width: 2
    }

    contentItem: Item {
        // A tap anywhere on a plain message closes it.
        MouseArea {
            anchors.fill: parent
            enabled: !root.dialog
            onClicked: root.close()
        }

        Image {
            id: picture

            objectName: "popupImage"
            anchors.top: parent.top
            anchors.topMargin: 10
            anchors.horizontalCenter: parent.horizontalCenter
            width: 200
            height: 200
            sourceSize: Qt.size(200, 200)
            fillMode: Image.PreserveAspectFit
            source: root.image
            visible: root.hasImage
        }

        Text {
            id: message
            objectName: "popupText"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: root.hasImage ? picture.bottom : parent.top
            anchors.bottom: root.dialog ? buttons.top : parent.bottom
            anchors.margins: 10
            text: root.text
            wrapMode: Text.WordWrap
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            color: root.Material.foreground
            font.family: "DejaVu Sans"
            font.pointSize: 10
        }

        Row {
            id: buttons
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 15
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 60
            visible: root.dialog

            CustomButton {
                objectName: "popupYesButton"
                width: 100
                height: 40
                radius: 4
                color: root.Material.accent
                // Dark on the light accent: white on it is hard to read.
                textColor: Theme.navy
                textSize: 16
                bold: true
                letterSpacing: 1.2
                text: manager.dynTr + qsTr("Yes")
                onClicked: {
                    root.buttonYesPressed()
                    root.close()
                }
            }

            CustomButton {
                objectName: "popupNoButton"
                width: 100
                height: 40
                radius: 4
                color: root.Material.accent
                // Dark on the light accent: white on it is hard to read.
                textColor: Theme.navy
                textSize: 16
                bold: true
                letterSpacing: 1.2
                text: manager.dynTr + qsTr("No")
                onClicked: {
                    root.buttonNoPressed()
                    root.close()
                }
            }
        }
    }
}
