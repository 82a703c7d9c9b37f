import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

// The detail block of a result screen, chosen by the transaction type. The words come from the
// screen that shows it, so that they are translated in that screen's context.
Item {
    id: root

    // The transaction map (type, details) of the result shown.
    property var result: ({})
    // Capping products (15, 16) have no block on the already-validated screen.
    property bool showCapping: true
    property var locale: Qt.locale()
    property var words: ({})

    readonly property int type: result && result.type !== undefined ? result.type : -1
    readonly property var details: result && result.details !== undefined ? result.details : ({})
    readonly property bool hasBlock: {
        switch (type) {
        case 0: case 5: case 12: case 14: case 8: case 2: return true
        case 15: case 16: return showCapping
        default: return false
        }
    }
    readonly property bool twoColumns: hasBlock && type !== 0

    // Minutes as the largest sensible unit: days above a day, hours above two hours.
    function period(minutes) {
        var m = Number(minutes) || 0
        if (m > 1440) {
            var days = Math.round(m / 1440)
            return days + " " + (days === 1 ? words.day : words.days)
        }
        if (m > 120) {
            var hours = Math.round(m / 60)
            return hours + " " + (hours === 1 ? words.hour : words.hours)
        }
        return m + " " + (m === 1 ? words.min : words.mins)
    }
    function amount(value) {
        return Number(value || 0).toLocaleCurrencyString(root.locale)
    }
    function date(value) {
        var d = new Date(value)
        return isNaN(d.getTime()) ? "" : d.toLocaleDateString(root.locale, "d MMM yy")
    }

    readonly property string leftCaption: {
        if (type === 2 || type === 15)
            return words.deducted
        return words.remaining
    }
    readonly property string leftValue: {
        if (type === 2 || type === 15)
            return amount(details.deducted)
        if (type === 8)
            return period(details.remaining)
        return period(details.transferRemainingMin)
    }
    readonly property string rightCaption: {
        if (type === 5 || type === 16 || type === 12)
            return words.trips
        if (type === 8)
            return words.expires
        return words.balance
    }
    readonly property string rightValue: {
        if (type === 5 || type === 16 || type === 12)
            return String(details.remaining !== undefined ? details.remaining : 0)
        if (type === 8)
            return date(details.expires)
        return amount(details.remaining)
    }
    readonly property bool leftIsAmount: type === 2 || type === 15
    readonly property bool rightIsAmount: type === 14 || type === 2 || type === 15

    implicitHeight: hasBlock ? 100 : 0
    visible: hasBlock

    Column {
        anchors.fill: parent
        Row {
            width: parent.width
            height: 30
            Label {
                objectName: "leftCaption"
                width: root.twoColumns ? parent.width / 2 : parent.width
                height: parent.height
                leftPadding: root.twoColumns ? 35 : 0
                horizontalAlignment: root.twoColumns ? Text.AlignLeft : Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                font.pointSize: 10
                text: root.leftCaption
            }
            Label {
                visible: root.twoColumns
                width: parent.width / 2
                height: parent.height
                rightPadding: 35
                horizontalAlignment: Text.AlignRight
                verticalAlignment: Text.AlignVCenter
                font.pointSize: 10
                text: root.rightCaption
            }
        }
        Row {
            width: parent.width
            height: 70
            Label {
                objectName: "leftValue"
                width: root.twoColumns ? parent.width / 2 : parent.width
                height: parent.height
                leftPadding: root.twoColumns ? 35 : 0
                horizontalAlignment: root.twoColumns ? Text.AlignLeft : Text.AlignHCenter
                verticalAlignment: Text.AlignTop
                font.pointSize: 14
                font.bold: !root.leftIsAmount
                text: root.leftValue
            }
            Label {
                objectName: "rightValue"
                visible: root.twoColumns
                width: parent.width / 2
                height: parent.height
                rightPadding: 35
                horizontalAlignment: Text.AlignRight
                verticalAlignment: Text.AlignTop
                font.pointSize: 14
                font.bold: !root.rightIsAmount
                text: root.rightValue
            }
        }
    }
}
