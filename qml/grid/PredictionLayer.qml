import QtQuick 2.15
import Boxmere 1.0

// A model's predictions over a picture and the label boxes none found, matched again
// when a threshold or a box changes; in the editor, the selected prediction
// highlighted. Clicks go to the picture beneath, which selects predictions.
Item {
    id: marksLayer

    property int imageRow: -1
    property QtObject boxes: null
    property real zoom: 1
    property bool tagShown: true
    property var colorOf: function (catId) { return "black" }
    // In the editor: shows the selection.
    property bool editing: false

    property int boxEdits: 0
    readonly property var marks: PredictionMatcher.available && PredictionMatcher.revision >= 0
                                 && boxEdits >= 0 ? PredictionMatcher.marks(imageRow) : []

    z: 50

    Connections {
        target: marksLayer.boxes
        ignoreUnknownSignals: true
        function onDataChanged() { marksLayer.boxEdits++ }
        function onRowsInserted() { marksLayer.boxEdits++ }
        function onRowsRemoved() { marksLayer.boxEdits++ }
        function onModelReset() { marksLayer.boxEdits++ }
    }

    Repeater {
        objectName: "rptPredictions"
        model: marksLayer.marks
        delegate: PredictionBox {
            mark: modelData
            pictureSize: Qt.size(marksLayer.width, marksLayer.height)
            zoom: marksLayer.zoom
            classColor: marksLayer.colorOf(modelData.catId)
            tagShown: marksLayer.tagShown
        }
    }

    // White on black, to be seen on any picture and apart from the colours of kinds.
    Rectangle {
        objectName: "selectedPrediction"
        readonly property rect box: EditSession.selectedPredictionRect
        readonly property real lineWidth: 1 / marksLayer.zoom
        visible: marksLayer.editing && EditSession.selectedPrediction >= 0
        x: box.x * marksLayer.width - 5 * lineWidth
        y: box.y * marksLayer.height - 5 * lineWidth
        width: box.width * marksLayer.width + 10 * lineWidth
        height: box.height * marksLayer.height + 10 * lineWidth
        color: "#40ffffff"
        border.color: "black"
        border.width: 2 * lineWidth
        z: 60

        Rectangle {
            anchors.fill: parent
            anchors.margins: 2 * parent.lineWidth
            color: "transparent"
            border.color: "white"
            border.width: 3 * parent.lineWidth
        }
    }
}
