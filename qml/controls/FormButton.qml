import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

// A form button drawn without the style's shadow layer, which the software renderer cannot
// draw (the button would vanish). Highlighted, its text is dark blue on the light accent.
Button {
    id: button

    implicitHeight: 48

    background: Rectangle {
        radius: 2
        color: !button.enabled ? button.Material.buttonDisabledColor
                               : button.highlighted ? (button.down ? Qt.darker(button.Material.accent, 1.2)
                                                                   : button.Material.accent)
                                                    : (button.down ? Qt.darker(button.Material.buttonColor, 1.2)
                                                                   : button.Material.buttonColor)
    }
    contentItem: Label {
        text: button.text
        font: button.font
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        color: !button.enabled ? button.Material.hintTextColor
                               : button.highlighted ? Theme.navy : button.Material.foreground
    }
}
