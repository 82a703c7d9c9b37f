import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

// A combo box of the settings pages, drawn without the style's shadow layers, which the software
// renderer cannot draw.
ComboBox {
    id: box

    background: Rectangle {
        implicitWidth: 120
        implicitHeight: 40
        radius: 2
        color: box.Material.buttonColor
    }
    popup.background: Rectangle {
        color: box.Material.dialogColor
        border.color: box.Material.dividerColor
    }
}
