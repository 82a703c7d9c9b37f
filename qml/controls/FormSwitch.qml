import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

// A switch drawn without the style's shadow layer, which the software renderer cannot draw
// (the knob would vanish).
Switch {
    id: control

    indicator: Item {
        implicitWidth: 38
        implicitHeight: 32
        x: control.leftPadding + (control.availableWidth - width) / 2
        y: control.topPadding + (control.availableHeight - height) / 2
        opacity: control.enabled ? 1 : 0.5

        Rectangle {
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width
            height: 14
            radius: 7
            color: control.checked ? Qt.lighter(control.Material.accent, 1.4)
                                   : control.Material.theme === Material.Dark ? "#6f6f6f" : "#b0b0b0"
            opacity: control.checked ? 0.7 : 1
        }
        Rectangle {
            anchors.verticalCenter: parent.verticalCenter
            x: control.checked ? parent.width - width : 0
            width: 20
            height: 20
            radius: 10
            color: control.checked ? control.Material.accent
                                   : control.Material.theme === Material.Dark ? "#bdbdbd" : "#fafafa"
            border.color: control.Material.theme === Material.Dark ? "transparent" : "#9e9e9e"

            Behavior on x {
                NumberAnimation { duration: 120 }
            }
        }
    }
}
