import QtQuick 2.15
import QtQuick.Controls.Material 2.15

// Transparent box with a wrapping label filling it.
Item {
    id: root

    property alias text: label.text
    readonly property alias lineCount: label.lineCount
    property real textSize: 16
    property int horizontalAlignment: Text.AlignHCenter
    property int verticalAlignment: Text.AlignVCenter
    property bool bold: false
    property real letterSpacing: 1.0
    property real leftMargin: 0
    property real rightMargin: 0
    property color textColor: Material.foreground

    width: parent ? parent.width : implicitWidth
    implicitWidth: label.implicitWidth + leftMargin + rightMargin
    implicitHeight: label.implicitHeight

    Text {
        id: label
        anchors.fill: parent
        anchors.leftMargin: root.leftMargin
        anchors.rightMargin: root.rightMargin
        wrapMode: Text.WordWrap
        horizontalAlignment: root.horizontalAlignment
        verticalAlignment: root.verticalAlignment
        color: root.textColor
        font.family: "DejaVu Sans"
        font.pointSize: root.textSize
        font.bold: root.bold
        font.letterSpacing: root.letterSpacing
    }
}
