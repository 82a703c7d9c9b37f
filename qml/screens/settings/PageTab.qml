import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

// A tab of a settings page; the chosen one in the accent colour, darker on the light theme where
// the light accent is hard to read.
TabButton {
    id: tab

    contentItem: Label {
        text: tab.text
        font: tab.font
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        color: !tab.checked ? tab.Material.foreground
                            : tab.Material.theme === Material.Dark ? tab.Material.accent
                                                                   : Qt.darker(tab.Material.accent, 1.6)
    }
}
