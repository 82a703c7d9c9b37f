import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

// "Label: value" on one line, the value at the right.
Item {
    id: row

    property string label
    property string value
    property color valueColor: Material.foreground

    width: parent ? parent.width : 0
    height: 30

    Label {
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        width: parent.width * 0.45
        elide: Text.ElideRight
        opacity: 0.7
        text: row.label
    }
    Label {
        objectName: "value"
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        width: parent.width * 0.55
        horizontalAlignment: Text.AlignRight
        elide: Text.ElideRight
        color: row.valueColor
        text: row.value
    }
}
