import QtQuick 2.15
import QtQuick.Controls 2.15
import "../controls"

// A result screen: the symbol, the title, a line of text, an optional separator, then whatever
// the screen adds below (details, a reason), stacked without spacing.
Page {
    id: page

    property url icon
    property color iconColor
    property size iconSize: Qt.size(250, 250)
    property string titleText
    property real titleSize: Theme.titleSize
    property real titleHeight: 100
    property real titleMargin: Theme.edgeMargin
    // The line under the title (a fare product, a reason code); an empty line keeps its row.
    property string line
    property real lineHeight: 100
    property string lineName: "line"
    property bool separator: true
    default property alias below: column.data

    background: null

    // Behind every text of the screen, from the title down.
    QuietPanel {
        objectName: "textPanel"
        x: 12
        width: parent.width - 2 * x
        y: title.y
        height: column.implicitHeight - title.y
    }

    Column {
        id: column

        anchors.fill: parent

        ImageBox {
            width: parent.width
            icon: page.icon
            iconColor: page.iconColor
            iconSize: page.iconSize
        }
        TextBox {
            id: title

            objectName: "title"
            width: parent.width
            height: page.titleHeight
            leftMargin: page.titleMargin
            rightMargin: page.titleMargin
            text: page.titleText
            textSize: page.titleSize
            bold: true
        }
        TextBox {
            objectName: page.lineName
            visible: page.lineHeight > 0
            width: parent.width
            height: page.lineHeight
            leftMargin: Theme.textMargin
            rightMargin: Theme.textMargin
            text: page.line
            textSize: Theme.textSize
        }
        ResultSeparator {
            visible: page.separator
        }
    }
}
