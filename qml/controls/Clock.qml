import QtQuick 2.15
import QtQuick.Controls.Material 2.15

// Date and time display that doubles as the hidden maintenance button
// (three quick taps, or a long press).
Item {
    id: root

    property var locale: Qt.locale()
    property string dateFormat: "dd-MMM-yyyy"
    property string timeFormat: "hh:mm"
    property color textColor: Material.theme === Material.Light ? "black" : "white"

    readonly property string dateText: d.dateText
    readonly property string timeText: d.timeText
    readonly property int tapCount: d.tapCount
    readonly property bool burstRunning: burstTimer.running

    signal pressAndHold()
    signal tapped()

    width: 200
    height: 65

    function refresh() {
        var now = new Date()
        d.dateText = now.toLocaleDateString(root.locale, root.dateFormat)
        d.timeText = now.toLocaleTimeString(root.locale, root.timeFormat)
    }

    onLocaleChanged: refresh()
    onDateFormatChanged: refresh()
    onTimeFormatChanged: refresh()

    QtObject {
        id: d
        property string dateText
        property string timeText
        property int tapCount: 0
    }

    Timer {
        interval: 1000
        repeat: true
        running: true
        triggeredOnStart: true
        onTriggered: root.refresh()
    }

    Timer {
        id: burstTimer
        interval: 1000
        repeat: false
        onTriggered: {
            console.log("[QML][Clock] Press time expired : " + d.tapCount + " click(s)")
            if (d.tapCount > 2) {
                console.log("[QML][Clock] More than 2 taps detected within 1 sec.")
                root.pressAndHold()
            }
            d.tapCount = 0
        }
    }

    Column {
        anchors.right: parent.right
        anchors.rightMargin: 25
        anchors.verticalCenter: parent.verticalCenter

        Text {
            anchors.right: parent.right
            horizontalAlignment: Text.AlignRight
            text: d.dateText
            color: root.textColor
            font.family: "DejaVu Sans"
            font.pixelSize: 20
            font.letterSpacing: 0.2
            font.weight: Font.Medium
        }

        Text {
            anchors.right: parent.right
            horizontalAlignment: Text.AlignRight
            text: d.timeText
            color: root.textColor
            font.family: "DejaVu Sans"
            font.pixelSize: 42
            font.letterSpacing: 0.8
            font.bold: true
        }
    }

    MouseArea {
        anchors.fill: parent
        pressAndHoldInterval: 800
        onPressed: {
            d.tapCount += 1
            // A burst starts with the first press after the window has closed.
            if (!burstTimer.running)
                burstTimer.start()
        }
        onPressAndHold: {
            console.log("[QML][Clock] Press and hold detected")
            burstTimer.stop()
            root.pressAndHold()
        }
        onClicked: {
            console.log("[QML] Clock tapped.")
            root.tapped()
        }
    }
}
