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

    // The symbol through the tinting image provider: no shader effect, so the colour shows
    // under every scene-graph backend.
    function tinted(source, color) {
        var path = source.toString()
        if (path.indexOf("qrc:") !== 0)
            return source
        var hex = color.toString().replace("#", "")
        if (hex.length === 8)
            hex = hex.substring(2) // drop the alpha
        return "image://tinted/" + hex + path.substring(4)
    }

    width: parent ? parent.width : implicitWidth
    implicitWidth: iconSize.width
    implicitHeight: iconSize.height

    Image {
        id: image

        objectName: "iconImage"
        anchors.centerIn: parent
        width: root.iconSize.width
        height: root.iconSize.height
        source: root.recolor ? root.tinted(root.icon, root.iconColor) : root.icon
        sourceSize: root.iconSize
        fillMode: Image.PreserveAspectFit
        asynchronous: true
        smooth: true
    }
}
