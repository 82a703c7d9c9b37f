import QtQuick 2.15
import QtQuick.Controls 2.15

// A settings page: its content in a column 80 % of the width, centred, scrolling when long.
Pane {
    id: pane

    default property alias content: column.data
    // Below the scrolling content (the buttons of a form).
    property alias footer: footerRow.data

    padding: 0

    // Once the page stack has finished bringing it in.
    StackView.onActivated: console.info("[QML] Settings page shown : " + objectName)

    Flickable {
        anchors.fill: parent
        anchors.bottomMargin: footerRow.height > 0 ? footerRow.height + 20 : 0
        contentHeight: column.implicitHeight + 40
        clip: true
        boundsBehavior: Flickable.StopAtBounds

        Column {
            id: column

            x: (parent.width - width) / 2
            y: 20
            width: pane.availableWidth * 0.8
            spacing: 12
        }
    }
    Row {
        id: footerRow

        anchors.bottom: parent.bottom
        anchors.bottomMargin: 20
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 20
    }
}
