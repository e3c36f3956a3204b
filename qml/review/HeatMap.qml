import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// A two-dimensional histogram: bins by bins cells, row-major from the bottom row up,
// each the darker the more it counts (on a logarithmic scale, so that rare sizes
// still show).
ColumnLayout {
    id: map

    property string title: ""
    property string xTitle: ""
    property string yTitle: ""
    property int bins: 0
    property var counts: []
    property int maxCount: 0

    spacing: 4

    Label {
        text: map.title
        font.bold: true
    }
    RowLayout {
        Layout.fillWidth: true
        Layout.fillHeight: true

        Label {
            text: map.yTitle + " ↑"
            rotation: -90
            Layout.preferredWidth: implicitHeight
        }
        Item {
            id: area
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.minimumHeight: 200
            readonly property real side: Math.min(width, height)
            readonly property real cell: map.bins > 0 ? side / map.bins : 0

            Rectangle {
                width: area.side
                height: area.side
                color: "white"
                border.color: "lightgray"
            }
            Label { x: 2; y: area.side - height - 2; text: "0"; color: "gray" }
            Label { x: area.side - width - 2; y: area.side - height - 2; text: "1"; color: "gray" }
            Label { x: 2; y: 2; text: "1"; color: "gray" }
            Repeater {
                model: map.bins * map.bins
                delegate: Rectangle {
                    readonly property int count: map.counts[index] || 0
                    readonly property int column: index % map.bins
                    readonly property int row: Math.floor(index / map.bins)
                    x: column * area.cell
                    y: (map.bins - 1 - row) * area.cell
                    width: area.cell
                    height: area.cell
                    visible: count > 0
                    color: Qt.rgba(0.1, 0.3, 0.7, 0.15 + 0.85 * Math.log(1 + count) / Math.log(1 + Math.max(1, map.maxCount)))
                    ToolTip.visible: cellHover.hovered
                    ToolTip.text: qsTr("%1 boxes").arg(count)
                    HoverHandler { id: cellHover }
                }
            }
        }
    }
    Label {
        Layout.leftMargin: 30
        text: map.xTitle + " →"
    }
}
