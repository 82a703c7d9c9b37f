import QtQuick 2.15

// Full-width transparent row showing one symbol, centred and recoloured.
Item {
    id: root

    property url icon
    property size iconSize: Qt.size(250, 250)
    property color iconColor: Theme.valid
    // PNG pictures (flags, screen-saver artwork) are shown as they are.
    property bool recolor: true

    readonly property int status: image.status

    width: parent ? parent.width : implicitWidth
    implicitWidth: iconSize.width
    implicitHeight: iconSize.height

    Image {
        id: image

        objectName: "iconImage"
        anchors.centerIn: parent
        width: root.iconSize.width
        height: root.iconSize.height
        source: root.recolor ? Tinted.source(root.icon, root.iconColor) : root.icon
        sourceSize: root.iconSize
        fillMode: Image.PreserveAspectFit
        asynchronous: true
        smooth: true
    }
}
