import QtQuick 2.15
import QtQuick.Controls.Material 2.15
import QtGraphicalEffects 1.15

// Circular accent button with a symbol; shrinks while pressed.
Item {
    id: root

    property real radius: 25
    property color color: Material.accent
    property url source
    property bool pngImage: false
    property real imageSize: radius
    property color iconColor: "white"

    readonly property bool down: mouseArea.pressed
    readonly property bool softwareRendering: GraphicsInfo.api === GraphicsInfo.Software

    signal clicked()
    signal pressed()
    signal released()

    implicitWidth: 2 * radius
    implicitHeight: 2 * radius

    Item {
        id: face
        anchors.centerIn: parent
        width: 2 * root.radius
        height: 2 * root.radius
        scale: root.down ? 0.8 : 1.0

        Loader {
            anchors.fill: content
            // No shadow while pressed; shader effects draw nothing in software mode.
            active: !root.softwareRendering
            visible: !root.down
            sourceComponent: DropShadow {
                source: content
                horizontalOffset: 3
                verticalOffset: 3
                radius: 8
                samples: 16
                color: "#80000000"
                transparentBorder: true
            }
        }

        Item {
            id: content
            anchors.fill: parent

            Rectangle {
                anchors.fill: parent
                radius: root.radius
                color: root.color
            }

            ImageBox {
                anchors.centerIn: parent
                width: root.imageSize
                height: root.imageSize
                icon: root.source
                iconSize: Qt.size(root.imageSize, root.imageSize)
                iconColor: root.iconColor
                recolor: !root.pngImage
            }
        }
    }

    MouseArea {
        id: mouseArea
        anchors.fill: parent
        onPressed: root.pressed()
        onReleased: root.released()
        onClicked: root.clicked()
    }
}
