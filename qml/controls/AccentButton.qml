import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

// A highlighted button whose text stays readable on the light accent: dark blue, not white.
Button {
    id: button

    highlighted: true

    contentItem: Label {
        text: button.text
        font: button.font
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        color: button.enabled ? Theme.navy : button.Material.hintTextColor
    }
}
