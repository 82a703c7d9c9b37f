import QtQuick 2.15
import "../../controls"

// A test the technician answers: Yes passes it, No fails it.
CustomPopup {
    // The self-test's item that takes the answer.
    property string result

    dialog: true
    onButtonYesPressed: manager.diagnostics[result] = "OK"
    onButtonNoPressed: manager.diagnostics[result] = "ERROR"
}
