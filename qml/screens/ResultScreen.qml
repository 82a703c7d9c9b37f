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
    property real titleMargin: 0
    // The line under the title (a fare product, a reason code); an empty line keeps its row.
    property string line
    property real lineHeight: 100
    property string lineName: "line"
    property bool separator: true
    default property alias below: column.data

    background: null

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
            text: page.line
            textSize: Theme.textSize
        }
        ResultSeparator {
            visible: page.separator
        }
    }
}
