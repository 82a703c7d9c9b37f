import QtQuick 2.15
import QtQuick.Controls 2.15

// A label (with an optional tooltip, shown while it is pressed) and its control at the right.
Item {
    id: row

    property string label
    property string tip
    default property alias control: holder.data

    width: parent ? parent.width : 0
    height: Math.max(56, holder.childrenRect.height)

    Label {
        id: caption

        anchors.left: parent.left
        anchors.right: holder.left
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        wrapMode: Text.WordWrap
        text: row.label

        ToolTip.visible: row.tip !== "" && tipArea.pressed
        ToolTip.text: row.tip
        MouseArea {
            id: tipArea

            anchors.fill: parent
            enabled: row.tip !== ""
        }
    }
    Item {
        id: holder

        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        width: childrenRect.width
        height: childrenRect.height
    }
}
