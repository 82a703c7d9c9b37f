import QtQuick 2.15
import QtQuick.Controls 2.15
import "../../controls"
import QtQuick.Controls.Material 2.15

// The event log, newest first, narrowed by name, severity and period. Full width: the messages
// need the room.
Pane {
    id: page

    objectName: "EventLog"

    // Full width, but no text nearer the screen edge than on the other screens.
    padding: Theme.edgeMargin

    // The log keeps its filters between visits: start from what the controls show.
    Component.onCompleted: {
        eventLogManager.applyFilter(searchField.text)
        eventLogManager.applyFilter(page.severityLevel(severityBox.currentIndex))
        eventLogManager.applyFilterPeriod(periodBox.currentText)
    }

    StackView.onActivated: console.info("[QML] Settings page shown : " + objectName)

    // "Critical", "Warning", "All messages" to the log's lowest severity shown (2, 1, 0).
    function severityLevel(index) {
        return 2 - index
    }

    Column {
        anchors.fill: parent
        spacing: 8

        Row {
            width: parent.width
            height: searchField.height
            spacing: 10

            // A magnifier drawn from rectangles: no image to recolour for each theme.
            Item {
                anchors.verticalCenter: parent.verticalCenter
                width: 24
                height: 24

                Rectangle {
                    width: 17
                    height: 17
                    radius: width / 2
                    color: "transparent"
                    border.width: 2.5
                    border.color: page.Material.foreground
                }
                Rectangle {
                    x: 13
                    y: 17
                    width: 10
                    height: 3
                    radius: 1.5
                    rotation: 45
                    color: page.Material.foreground
                }
            }
            TextField {
                id: searchField

                objectName: "searchField"
                width: parent.width - 24 - clearButton.width - 2 * parent.spacing
                placeholderText: manager.dynTr + qsTr("Search")
                inputMethodHints: Qt.ImhNoPredictiveText
                onTextChanged: eventLogManager.applyFilter(text)
                onAccepted: Qt.inputMethod.hide()
            }
            FormButton {
                id: clearButton

                objectName: "clearButton"
                anchors.verticalCenter: parent.verticalCenter
                width: 100
                text: "CLEAR"
                onClicked: {
                    searchField.clear()
                    Qt.inputMethod.hide()
                }
            }
        }
        Row {
            width: parent.width
            spacing: 10

            FormComboBox {
                id: severityBox

                objectName: "severityBox"
                width: (parent.width - parent.spacing) / 2
                model: ["Critical", "Warning", "All messages"]
                currentIndex: 2
                onActivated: {
                    eventLogManager.applyFilter(page.severityLevel(index))
                    Qt.inputMethod.hide()
                }
            }
            FormComboBox {
                id: periodBox

                objectName: "periodBox"
                width: (parent.width - parent.spacing) / 2
                // The names the event log understands.
                model: ["All history", "Last hour", "Last 2 hours", "Today", "Yesterday",
                        "Last week", "Last month"]
                onActivated: {
                    eventLogManager.applyFilterPeriod(currentText)
                    Qt.inputMethod.hide()
                }
            }
        }
        ListView {
            id: list

            objectName: "eventList"
            width: parent.width
            height: 600
            clip: true
            spacing: 5
            model: eventLogManager.data
            delegate: MessageRowItem {
                width: ListView.view.width
                scale: down ? 0.95 : 1
                title: modelData.name
                message: modelData.description
                time: manager.dynTr + modelData.timestamp.toLocaleString(Qt.locale(),
                                                                         "dd-MMM-yy hh:mm")
            }
        }
    }
}
