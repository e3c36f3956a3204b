import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Horizontal bars, one a line: a label, a bar as long as its share of the largest
// value, and the value. Scrolls when there are more bars than room.
ColumnLayout {
    id: chart

    property string title: ""
    property var labels: []
    property var values: []
    // Said after each value, when given: "12 polygons".
    property var notes: []
    readonly property real valueRoom: notes.length > 0 ? 130 : 60
    property color color: "steelblue"
    property real barHeight: 16
    property real labelWidth: 140
    readonly property real maxValue: Math.max(1, Math.max.apply(null, values.length > 0 ? values : [0]))

    spacing: 4

    Label {
        text: chart.title
        font.bold: true
    }
    Label {
        visible: chart.values.length === 0
        text: qsTr("nothing to show")
        color: "gray"
    }
    ListView {
        id: list
        Layout.fillWidth: true
        Layout.fillHeight: true
        Layout.minimumHeight: Math.min(contentHeight, 5 * chart.barHeight)
        Layout.preferredHeight: contentHeight
        clip: true
        model: chart.values.length
        boundsBehavior: Flickable.StopAtBounds
        // Always there when the list is longer than its room, so that the rest is not missed.
        ScrollBar.vertical: ScrollBar {
            policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
        }

        delegate: Item {
            width: list.width
            height: chart.barHeight + 2

            Label {
                id: label
                width: Math.min(chart.labelWidth, list.width * 0.6)
                anchors.verticalCenter: parent.verticalCenter
                horizontalAlignment: Text.AlignRight
                elide: Text.ElideRight
                text: chart.labels[index] !== undefined ? chart.labels[index] : ""
            }
            Rectangle {
                objectName: "bar"
                x: label.width + 6
                anchors.verticalCenter: parent.verticalCenter
                height: chart.barHeight
                width: Math.max(chart.values[index] > 0 ? 1 : 0,
                                (list.width - label.width - chart.valueRoom) * chart.values[index] / chart.maxValue)
                color: chart.color
            }
            Label {
                x: label.width + 6 + (list.width - label.width - chart.valueRoom) * chart.values[index] / chart.maxValue + 4
                anchors.verticalCenter: parent.verticalCenter
                text: chart.notes[index] ? chart.values[index] + " · " + chart.notes[index] : chart.values[index]
                color: "dimgray"
            }
        }
    }
}
