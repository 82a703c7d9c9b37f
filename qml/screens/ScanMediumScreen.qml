import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../controls"

// One medium only: its animation looping, its hint, and a button to the other medium.
Page {
    id: page

    property string frames: "NFC"
    property int lastFrame: 6
    property string hint
    property url buttonIcon
    property string buttonText
    // Where the button leads; the window switches to it.
    property string otherScreen

    property int frame: 0

    signal switchTo(string screen)

    background: null

    NumberAnimation on frame {
        from: 0
        to: page.lastFrame
        duration: 2300
        loops: Animation.Infinite
        running: page.visible
    }

    ScanAnimation {
        frames: page.frames
        lastFrame: page.lastFrame
        frame: page.frame
    }
    ScanHint {
        objectName: "hint"
        text: page.hint
    }
    CustomButton {
        objectName: "switchButton"
        anchors.left: parent.left
        anchors.leftMargin: -10
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 20
        width: 270
        height: 120
        color: Theme.navy
        borderWidth: 10
        borderColor: down ? Theme.pressed : Material.accent
        icon: page.buttonIcon
        iconColor: "white"
        textColor: "white"
        textSize: Theme.buttonTextSize
        horizontalAlignment: Text.AlignLeft
        text: page.buttonText
        onClicked: page.switchTo(page.otherScreen)
    }
}
