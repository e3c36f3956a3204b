import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Boxmere 1.0
import "../grid"

// Above the grid: its columns, the filters over the image list and, for a set with a
// model's predictions, the thresholds they are matched at.
GridLayout {
    id: bar

    property alias gridColumns: gridSettings.columns
    // The name of a class number, for the class filter's options.
    property var className: function (catId) { return String(catId) }

    signal goTo(int row)
    signal statisticsRequested()

    columns: 2

    // The class filter's options, each with the number of images it would show.
    function classOptions() {
        const options = [{ value: ImageFilter.anyClass, text: qsTr("All classes") }]
        let current = ImageFilter.classFilter === ImageFilter.anyClass
        for (const entry of ImageFilter.classCounts) {
            options.push({ value: entry.catId, text: "%1 (%2)".arg(className(entry.catId)).arg(entry.rows) })
            current = current || entry.catId === ImageFilter.classFilter
        }
        if (!current)
            options.push({ value: ImageFilter.classFilter, text: "%1 (0)".arg(className(ImageFilter.classFilter)) })
        return options
    }

    Label { text: qsTr("Columns") }
    GridSettings {
        id: gridSettings
        Layout.fillWidth: true
        onGoTo: bar.goTo(row)
    }

    Label { text: qsTr("Filter") }
    FilterBar {
        objectName: "filterBar"
        Layout.fillWidth: true
        classOptions: bar.classOptions()
        problemCounts: ImageFilter.problemCounts
        shapeCounts: ImageFilter.shapeCounts
        classValue: ImageFilter.classFilter
        problemValue: ImageFilter.problemFilter
        shapeValue: ImageFilter.shapeFilter
        shown: ImageFilter.count
        total: ImageFilter.total
        onNameEdited: ImageFilter.nameFilter = text
        onClassChosen: ImageFilter.classFilter = value
        onProblemChosen: ImageFilter.problemFilter = value
        onShapeChosen: ImageFilter.shapeFilter = value
        onStatisticsRequested: bar.statisticsRequested()
    }

    Label { text: qsTr("Predictions"); visible: PredictionMatcher.available }
    PredictionThresholds {
        objectName: "predictionThresholds"
        visible: PredictionMatcher.available
        confidence: PredictionMatcher.confidence
        iou: PredictionMatcher.iou
        onConfidenceMoved: PredictionMatcher.confidence = value
        onIouMoved: PredictionMatcher.iou = value
    }
}
