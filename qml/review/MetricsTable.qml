import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The detection figures per class, one row each; clicking a row chooses its class.
// classes is PredictionMetrics.classes; className turns a class number into its name.
ColumnLayout {
    id: table

    property var classes: []
    property var className: function (catId) { return String(catId) }
    property int chosenClass: -1
    // The width the columns share.
    property real fitWidth: 846

    signal classChosen(int catId)

    spacing: 0

    readonly property var columns: [
        { title: qsTr("Class"), width: 150 },
        { key: "labels", title: qsTr("Labels") },
        { key: "predictions", title: qsTr("Predictions"), width: 92 },
        { key: "truePositives", title: qsTr("TP") },
        { key: "falsePositives", title: qsTr("FP") },
        { key: "falseNegatives", title: qsTr("FN") },
        { key: "precision", title: qsTr("Precision"), fraction: true, width: 84 },
        { key: "recall", title: qsTr("Recall"), fraction: true },
        { key: "ap50", title: qsTr("AP50"), fraction: true },
        { key: "apCoco", title: qsTr("AP50:95"), fraction: true }
    ]

    // Columns narrow together in a narrow window.
    readonly property real scale: {
        const natural = columns.reduce(function (sum, column) { return sum + (column.width || 70) }, 0)
        return Math.min(1, Math.max(0.5, fitWidth / natural))
    }

    // An AP of -1 belongs to a class without label boxes, which has none.
    function cellText(entry, column) {
        if (!column.key)
            return table.className(entry.catId)
        const value = entry[column.key]
        if (!column.fraction)
            return String(value)
        return value < 0 ? "—" : value.toFixed(3)
    }

    component TableRow: RowLayout {
        property var texts: []
        property bool bold: false
        spacing: 0
        Repeater {
            model: table.columns.length
            delegate: Label {
                Layout.preferredWidth: (table.columns[index].width || 70) * table.scale
                leftPadding: 4
                rightPadding: 4
                horizontalAlignment: index === 0 ? Text.AlignLeft : Text.AlignRight
                elide: Text.ElideRight
                font.bold: parent.bold
                text: parent.texts[index] || ""
            }
        }
    }

    SystemPalette { id: system }
    TableRow {
        objectName: "metricsHeader"
        bold: true
        texts: table.columns.map(function (column) { return column.title })
    }
    ListView {
        id: list
        objectName: "metricsRows"
        Layout.fillWidth: true
        Layout.fillHeight: true
        Layout.minimumHeight: 60
        clip: true
        model: table.classes
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}
        delegate: Rectangle {
            width: list.width
            height: rowText.implicitHeight + 6
            color: modelData.catId === table.chosenClass ? "#cfe0f7"
                                                        : (index % 2 ? system.alternateBase : system.base)
            TableRow {
                id: rowText
                anchors.verticalCenter: parent.verticalCenter
                texts: table.columns.map(function (column) { return table.cellText(modelData, column) })
            }
            MouseArea {
                anchors.fill: parent
                onClicked: table.classChosen(modelData.catId)
            }
        }
    }
}
