import QtQuick 2.15
import QtQuick.Controls 2.15
import com.velt.ticketing.transaction 1.0
import "../controls"

// The detail block of a result screen, chosen by the transaction type: a caption row and a
// value row, in one centred column or two.
Item {
    id: root

    // The transaction map (type, details) of the result shown.
    property var result: ({})
    // Capping products have no block on the already-validated screen.
    property bool showCapping: true
    property var locale: Qt.locale(manager.language)
    // The words are translated in the context of the screen that shows them.
    property string context: ""

    readonly property int type: result && result.type !== undefined ? result.type : -1
    readonly property var details: result && result.details !== undefined ? result.details : ({})

    // Captions are source texts; values are formatted here. No block: null.
    readonly property var block: {
        var d = root.details
        switch (root.type) {
        case Transaction.Barcode:
            return { columns: 1, leftCaption: "Remaining", leftValue: period(d.transferRemainingMin) }
        case Transaction.CardCappingStoredJourneys:
            if (!root.showCapping)
                return null
            // fall through
        case Transaction.CardStoredJourneys:
        case Transaction.CardTransfer:
            return { columns: 2, leftCaption: "Remaining", leftValue: period(d.transferRemainingMin),
                     rightCaption: "Trips", rightValue: plain(d.remaining) }
        case Transaction.CardTransferEPurse:
            return { columns: 2, leftCaption: "Remaining", leftValue: period(d.transferRemainingMin),
                     rightCaption: "Balance", rightValue: amount(d.remaining), rightIsAmount: true }
        case Transaction.CardPeriodPass:
            return { columns: 2, leftCaption: "Remaining", leftValue: period(d.remaining),
                     rightCaption: "Expires", rightValue: date(d.expires) }
        case Transaction.CardCappingEPurse:
            if (!root.showCapping)
                return null
            // fall through
        case Transaction.CardEPurse:
            return { columns: 2, leftCaption: "Deducted", leftValue: amount(d.deducted),
                     leftIsAmount: true, rightCaption: "Balance", rightValue: amount(d.remaining),
                     rightIsAmount: true }
        default:
            return null
        }
    }
    readonly property bool hasBlock: block !== null
    readonly property bool twoColumns: hasBlock && block.columns === 2

    function word(text) {
        return manager.dynTr + qsTranslate(root.context, text)
    }
    // Minutes as the largest sensible unit: days above a day, hours above two hours.
    function period(minutes) {
        var m = Number(minutes) || 0
        if (m > 1440) {
            var days = Math.round(m / 1440)
            return days + " " + word(days === 1 ? "day" : "days")
        }
        if (m > 120) {
            var hours = Math.round(m / 60)
            return hours + " " + word(hours === 1 ? "hour" : "hours")
        }
        return m + " " + word(m === 1 ? "min" : "mins")
    }
    function plain(value) {
        return String(value !== undefined ? value : 0)
    }
    function amount(value) {
        return Number(value || 0).toLocaleCurrencyString(root.locale)
    }
    function date(value) {
        var d = new Date(value)
        return isNaN(d.getTime()) ? "" : d.toLocaleDateString(root.locale, "d MMM yy")
    }

    implicitHeight: hasBlock ? 100 : 0
    visible: hasBlock

    Grid {
        anchors.fill: parent
        columns: root.twoColumns ? 2 : 1

        DetailText {
            objectName: "leftCaption"
            height: 30
            column: root.twoColumns ? Text.AlignLeft : Text.AlignHCenter
            textSize: Theme.captionSize
            text: root.hasBlock ? root.word(root.block.leftCaption) : ""
        }
        DetailText {
            visible: root.twoColumns
            height: 30
            column: Text.AlignRight
            textSize: Theme.captionSize
            text: root.twoColumns ? root.word(root.block.rightCaption) : ""
        }
        DetailText {
            objectName: "leftValue"
            height: 70
            column: root.twoColumns ? Text.AlignLeft : Text.AlignHCenter
            verticalAlignment: Text.AlignTop
            bold: root.hasBlock && !root.block.leftIsAmount
            text: root.hasBlock ? root.block.leftValue : ""
        }
        DetailText {
            objectName: "rightValue"
            visible: root.twoColumns
            height: 70
            column: Text.AlignRight
            verticalAlignment: Text.AlignTop
            bold: root.twoColumns && !root.block.rightIsAmount
            text: root.twoColumns ? root.block.rightValue : ""
        }
    }
}
