import QtQuick 2.15
import QtTest 1.15
import Boxmere 1.0

// The figures of a model's predictions against the labels, computed while the panel
// shows them; a cell of the confusion matrix asks for its images and closes the panel.
WindowFixture {
    name: "Metrics"

    SignalSpy {
        id: cellSpy
        signalName: "cellClicked"
    }

    function test_panel() {
        // b: its class 1 box found, a class 1 prediction on nothing, a class 2 one on nothing.
        const predictions = base + "/predictions"
        verify(testData.writeFile(predictions + "/b.txt", "1 0.25 0.25 0.1 0.1 0.87\n1 0.5 0.5 0.1 0.1 0.6\n2 0.9 0.1 0.1 0.1 0.3\n"))
        child("txtPredFolder").text = predictions
        load(base + "/images", base + "/labels", 4)
        verify(child("btnMetrics", child("predictionThresholds")).visible)
        const panel = child("metricsPanel")
        cellSpy.target = panel
        panel.open()
        verify(PredictionMetrics.active)
        tryVerify(function () { return PredictionMetrics.computed && !PredictionMetrics.busy })
        tryCompare(child("lblMeans", panel.contentItem), "text", "mAP@0.5 0.125    mAP@0.5:0.95 0.129")
        compare(child("lblThresholds", panel.contentItem).text.indexOf("confidence 0.25 and IoU 0.50") > 0, true)
        compare(child("metricsRows", panel.contentItem).count, 2)
        compare(PredictionMetrics.confusion, [[1, 0, 3], [0, 0, 1], [1, 1, 0]])
        compare(panel.chosenClass, 1)
        compare(panel.curve.length, 2)
        // The panel's own slider: the figures follow once it rests.
        const slider = child("sliderConfidence", panel.contentItem)
        slider.value = 0.5
        slider.moved()
        tryCompare(PredictionMetrics, "confidence", 0.5)
        compare(PredictionMetrics.confusion, [[1, 0, 3], [0, 0, 1], [1, 0, 0]])
        // The first row's background column: a class 1 box nothing found.
        const matrix = child("confusionMatrix", panel.contentItem)
        mouseClick(child("confusionCells", matrix), matrix.rowHeader + 2.5 * matrix.cellSize,
                   matrix.columnHeader + 0.5 * matrix.cellSize)
        compare(cellSpy.count, 1)
        compare(cellSpy.signalArguments[0][0], 1)
        compare(cellSpy.signalArguments[0][1], panel.backgroundClass)
        tryVerify(function () { return !panel.visible })
        verify(!PredictionMetrics.active)
    }
}
