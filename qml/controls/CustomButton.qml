import QtQuick 2.15
import QtGraphicalEffects 1.15

// Rectangular button with an optional symbol on the left and a ripple on press.
Item {
    id: root

    property color color: "#f3f3f3"
    property color borderColor: "transparent"
    property real borderWidth: 0
    property real radius: 0

    property string text: ""
    property real textSize: 12
    property color textColor: "black"
    property bool bold: false
    property real letterSpacing: 0
    property int horizontalAlignment: Text.AlignHCenter
    property int verticalAlignment: Text.AlignVCenter

    property url icon
    property size iconSize: Qt.size(50, 50)
    property color iconColor: "white"

    property bool flat: true
    readonly property bool down: mouseArea.pressed
    readonly property bool hasIcon: root.icon.toString() !== ""
    readonly property bool softwareRendering: GraphicsInfo.api === GraphicsInfo.Software

    signal clicked()
    signal pressed()
    signal released()

    implicitWidth: 200
    implicitHeight: 60

    Loader {
        anchors.fill: background
        active: !root.flat && !root.softwareRendering
        sourceComponent: DropShadow {
            source: background
            horizontalOffset: 3
            verticalOffset: 3
            radius: 8
            samples: 16
            color: "#80000000"
            transparentBorder: true
        }
    }

    Rectangle {
        id: background
        anchors.fill: parent
        color: root.color
        radius: root.radius
        clip: true

        Rectangle {
            id: ripple
            property real centerX: 0
            property real centerY: 0
            x: centerX - width / 2
            y: centerY - height / 2
            width: 0
            height: width
            radius: width / 2
            color: Qt.darker(root.color, 1.5)
            visible: mouseArea.pressed || growth.running

            NumberAnimation on width {
                id: growth
                running: false
                from: 0
                to: 3 * Math.max(root.width, root.height)
                duration: 300
            }
        }
    }

    // Drawn above the ripple so the border always stays visible.
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        radius: root.radius
        border.color: root.borderColor
        border.width: root.borderWidth
    }

    ImageBox {
        id: iconBox
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        width: parent.width * 0.35
        height: root.iconSize.height
        visible: root.hasIcon
        icon: root.icon
        iconSize: root.iconSize
        iconColor: root.iconColor
    }

    Text {
        id: label
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.right: parent.right
        anchors.left: root.hasIcon ? iconBox.right : parent.left
        anchors.leftMargin: root.hasIcon ? 0 : root.borderWidth
        anchors.rightMargin: root.borderWidth
        text: root.text
        wrapMode: Text.WordWrap
        horizontalAlignment: root.horizontalAlignment
        verticalAlignment: root.verticalAlignment
        color: root.textColor
        font.family: "DejaVu Sans"
        font.pointSize: root.textSize
        font.bold: root.bold
        font.letterSpacing: root.letterSpacing
    }

    MouseArea {
        id: mouseArea
        anchors.fill: parent
        onPressed: {
            ripple.centerX = mouse.x
            ripple.centerY = mouse.y
            growth.restart()
            root.pressed()
        }
        onReleased: root.released()
        onClicked: root.clicked()
    }
}
