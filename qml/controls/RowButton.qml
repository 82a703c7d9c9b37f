import QtQuick 2.15
import QtQuick.Controls 2.15

// One entry of the settings list: icon, title with a hint below it, and an arrow.
Item {
    id: root

    property url icon
    property string title
    property string hint

    signal clicked()

    Rectangle {
        anchors.fill: parent
        gradient: Gradient {
            GradientStop { position: 0; color: area.pressed ? "#222" : "#333" }
            GradientStop { position: 1; color: "#222" }
        }
    }
    Rectangle {
        width: parent.width
        height: 1
        color: "#444"
        visible: !area.pressed
    }
    Rectangle {
        anchors.bottom: parent.bottom
        width: parent.width
        height: 1
        color: "#000"
    }
    Image {
        id: symbol

        anchors.left: parent.left
        anchors.leftMargin: 15
        anchors.verticalCenter: parent.verticalCenter
        width: root.height * 0.45
        height: width
        sourceSize: Qt.size(width, height)
        source: Tinted.source(root.icon, "#e7e7e7")
    }
    Column {
        anchors.left: symbol.right
        anchors.leftMargin: 15
        anchors.right: arrow.left
        anchors.rightMargin: 10
        anchors.verticalCenter: parent.verticalCenter

        Label {
            width: parent.width
            elide: Text.ElideRight
            font.pixelSize: root.height * 0.25
            color: "#e7e7e7"
            text: root.title
        }
        Label {
            width: parent.width
            elide: Text.ElideRight
            font.pixelSize: root.height * 0.125
            color: "#e7e7e7"
            opacity: 0.6
            text: root.hint
        }
    }
    Image {
        id: arrow

        anchors.right: parent.right
        anchors.rightMargin: 15
        anchors.verticalCenter: parent.verticalCenter
        width: root.height * 0.3
        height: width
        sourceSize: Qt.size(width, height)
        source: Tinted.source("qrc:/qml/images/Icons/arrow-right.svg", "#e7e7e7")
    }
    MouseArea {
        id: area

        anchors.fill: parent
        onClicked: root.clicked()
    }
}
