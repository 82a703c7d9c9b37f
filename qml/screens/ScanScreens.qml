import QtQuick 2.15
import QtQuick.Controls 2.15
import "../controls"

// The idle screen: the card animation and the ticket animation in turn.
Page {
    id: page

    background: null

    // 0: card, 1: ticket.
    property int mode: 0
    property int frame: 0
    readonly property int lastFrame: mode === 0 ? 6 : 8
    readonly property int switchMs: manager.animSwitchSec

    // The frame timer. With no switch period each animation runs once, then the other; its last
    // frame is not shown. With one, each loops through all its frames until the switch.
    function step() {
        if (switchMs === 0 && frame + 1 >= lastFrame) {
            frame = 0
            mode = 1 - mode
        } else if (frame >= lastFrame) {
            frame = 0
        } else {
            frame = frame + 1
        }
    }

    // Only while shown: a hidden screen has nothing to animate.
    Timer {
        objectName: "frameTimer"
        interval: 300
        repeat: true
        running: page.visible
        onTriggered: page.step()
    }
    Timer {
        objectName: "switchTimer"
        interval: Math.max(1, page.switchMs)
        repeat: true
        running: page.switchMs > 0
        onTriggered: {
            // Frame 0 first: every frame number exists in both animations.
            page.frame = 0
            page.mode = 1 - page.mode
        }
    }

    ScanAnimation {
        objectName: "animation"
        frames: page.mode === 0 ? "NFC" : "Barcode"
        lastFrame: page.lastFrame
        frame: page.frame
    }
    ScanHint {
        objectName: "hint"
        height: 170
        text: page.mode === 0 ? manager.dynTr + qsTr("SCAN\nYOUR CARD")
                              : manager.dynTr + qsTr("SCAN\nYOUR TICKET")
    }
}
