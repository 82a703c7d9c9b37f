import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../controls"

// The maintenance PIN page: an entry line, the number pad and "LOGIN".
Page {
    id: page

    // The digits typed so far, shown as typed.
    property string entry: ""
    readonly property bool empty: entry.length === 0
    readonly property alias shaking: shake.running
    // The grey of the empty entry, readable on either theme's background.
    readonly property color hintGrey: Material.theme === Material.Dark ? "#a0a0a0" : "#606060"

    function calcNumberPressed(text) {
        entry += text
    }
    function customLeftPressed(text) {
        entry = entry.slice(0, -1)
    }
    function customRightPressed(text) {
        entry = ""
    }

    background: null

    onVisibleChanged: entry = ""

    Connections {
        target: manager
        function onSettingsAccessGranted() {
            console.info("[QML] Settings access granted")
            if (page.visible)
                manager.screen = "Settings"
        }
        function onSettingsAccessDenied() {
            console.warn("[QML] Settings access denied")
            page.entry = ""
            shake.restart()
        }
    }

    // The page lies over the artwork: a panel of the theme's own background behind the block.
    Rectangle {
        anchors.fill: block
        anchors.margins: -24
        radius: 16
        color: page.Material.background
        opacity: 0.92

        transform: Translate {
            x: offset.x
        }
    }

    Column {
        id: block

        anchors.centerIn: parent
        spacing: 20

        transform: Translate {
            id: offset
        }

        Rectangle {
            objectName: "entryLine"
            width: pad.width
            height: 70
            radius: 4
            color: "transparent"
            border.color: page.empty ? page.hintGrey : Material.accent
            border.width: 2

            Image {
                id: lock

                anchors.left: parent.left
                anchors.leftMargin: 18
                anchors.verticalCenter: parent.verticalCenter
                width: 32
                height: 32
                sourceSize: Qt.size(32, 32)
                source: Tinted.source("qrc:/qml/images/Icons/lock.svg",
                                      page.empty ? page.hintGrey : Material.foreground)
            }
            Label {
                objectName: "entryText"
                anchors.left: lock.right
                anchors.right: parent.right
                anchors.margins: 18
                anchors.verticalCenter: parent.verticalCenter
                horizontalAlignment: Text.AlignHCenter
                elide: Text.ElideLeft
                font.pointSize: 20
                font.letterSpacing: page.empty ? 0 : 6
                color: page.empty ? page.hintGrey : Material.foreground
                text: page.empty ? manager.dynTr + qsTr("Pin") : page.entry
            }
        }
        NumberPad {
            id: pad

            objectName: "numberPad"
            style: NumberPadStyle {
                dark: page.Material.theme === Material.Dark
            }
            onCalcNumberPressed: page.calcNumberPressed(text)
            onCustomLeftPressed: page.customLeftPressed(text)
            onCustomRightPressed: page.customRightPressed(text)
        }
        FormButton {
            objectName: "loginButton"
            width: pad.width
            height: 70
            enabled: !page.empty
            highlighted: enabled
            font.pointSize: 16
            text: manager.dynTr + qsTr("LOGIN")
            onClicked: manager.settingsLoginRequest(page.entry)
        }
    }

    // Sideways, twice: a denied PIN.
    SequentialAnimation {
        id: shake

        loops: 2
        NumberAnimation { target: offset; property: "x"; to: 10; duration: 50 }
        NumberAnimation { target: offset; property: "x"; from: 10; to: -10; duration: 100 }
        NumberAnimation { target: offset; property: "x"; to: 0; duration: 50 }
    }
}
