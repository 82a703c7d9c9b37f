import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

// One message of a list: an accent bar, the title and the time; a tap shows the whole message.
Item {
    id: root

    property string title
    property string message
    property string time
    property bool isExpandable: true
    property bool enableColorAnimation: true
    property bool expanded: false
    readonly property bool down: area.pressed

    readonly property bool dark: Material.theme === Material.Dark
    readonly property color textColor: dark ? "white" : "#43496a"
    readonly property color timeColor: dark ? "white" : "#70758e"

    signal clicked()
    signal pressed()
    signal released()

    implicitHeight: Math.min(150, titleText.height + 30 + (expanded ? messageText.height + 30 : 0))
    height: implicitHeight

    Rectangle {
        id: bar

        width: 16
        height: parent.height
        radius: 4
        color: root.Material.accent
    }
    Rectangle {
        id: box

        objectName: "messageBox"
        anchors.left: bar.right
        anchors.leftMargin: 6
        anchors.right: parent.right
        height: parent.height
        color: root.dark ? "black" : "white"
        clip: true

        // The tap's flash: laid over the background and faded out, so the background keeps
        // following the theme.
        Rectangle {
            id: flash

            anchors.fill: parent
            color: root.Material.accent
            opacity: 0

            NumberAnimation on opacity {
                id: fade

                running: false
                from: 1
                to: 0
                duration: 1000
            }
        }
        Row {
            id: stamp

            anchors.top: parent.top
            anchors.topMargin: 15
            anchors.right: parent.right
            anchors.rightMargin: 10
            spacing: 5

            // A clock face drawn from rectangles: no image to recolour for each theme.
            Item {
                anchors.verticalCenter: parent.verticalCenter
                width: 14
                height: 14

                Rectangle {
                    anchors.fill: parent
                    radius: width / 2
                    color: "transparent"
                    border.width: 1.5
                    border.color: root.timeColor
                }
                Rectangle {
                    x: 6.25
                    y: 3
                    width: 1.5
                    height: 4.5
                    color: root.timeColor
                }
                Rectangle {
                    x: 6.25
                    y: 6.25
                    width: 4
                    height: 1.5
                    color: root.timeColor
                }
            }
            Text {
                objectName: "timeText"
                font.family: "Roboto"
                font.pixelSize: 14
                color: root.timeColor
                text: root.time
            }
        }
        Text {
            id: titleText

            objectName: "titleText"
            anchors.top: parent.top
            anchors.topMargin: 15
            anchors.left: parent.left
            anchors.leftMargin: 10
            anchors.right: stamp.left
            anchors.rightMargin: 10
            font.family: "Roboto"
            font.pixelSize: 18
            font.weight: root.expanded ? Font.Bold : Font.Medium
            font.letterSpacing: 0.8
            color: root.textColor
            // 0.75 of the light theme's text on white falls just under 4.5:1.
            opacity: root.expanded ? 1 : root.dark ? 0.75 : 0.8
            elide: root.expanded ? Text.ElideNone : Text.ElideRight
            wrapMode: root.expanded ? Text.WordWrap : Text.NoWrap
            maximumLineCount: root.expanded ? 100 : 1
            text: root.title
        }
        Text {
            id: messageText

            objectName: "messageText"
            anchors.top: titleText.bottom
            anchors.topMargin: 15
            anchors.left: titleText.left
            anchors.right: parent.right
            anchors.rightMargin: 10
            visible: root.expanded
            font.family: "DejaVu Sans"
            font.pixelSize: 18
            wrapMode: Text.WordWrap
            color: root.textColor
            text: root.message
        }
    }
    MouseArea {
        id: area

        anchors.fill: parent
        onPressed: root.pressed()
        onReleased: root.released()
        onClicked: {
            if (root.isExpandable)
                root.expanded = !root.expanded
            if (root.enableColorAnimation)
                fade.restart()
            root.clicked()
        }
    }
}
