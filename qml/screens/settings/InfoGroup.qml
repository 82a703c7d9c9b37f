import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

// A titled group of label/value rows.
Column {
    property string title
    default property alias rows: rowsColumn.data

    width: parent ? parent.width : 0
    spacing: 4

    Label {
        font.pixelSize: 20
        font.bold: true
        // The light accent is hard to read on the light theme.
        color: Material.theme === Material.Dark ? Material.accent : Qt.darker(Material.accent, 1.6)
        text: parent.title
    }
    Rectangle {
        width: parent.width
        height: 1
        color: Material.accent
        opacity: 0.5
    }
    Column {
        id: rowsColumn

        width: parent.width
        spacing: 2
    }
}
