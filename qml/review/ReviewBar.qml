import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Boxmere 1.0
import "../grid"

// Above the grid: its columns, the filters over the image list, the search for
// near-duplicate pictures and, for a set with a model's predictions, the thresholds
// they are matched at.
GridLayout {
    id: bar

    property alias gridColumns: gridSettings.columns
    // The name of a class number, for the class filter's options and the confusion chip.
    property var className: function (catId) { return String(catId) }

    signal goTo(int row)
    signal statisticsRequested()
    signal metricsRequested()

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

    // The confusion cell filtered to, as "cat as dog"; "" for none.
    function confusionText() {
        const cell = ImageFilter.confusionFilter
        if (cell.labelClass === undefined)
            return ""
        const name = function (catId) { return catId === ImageFilter.background ? qsTr("background") : className(catId) }
        return qsTr("%1 as %2").arg(name(cell.labelClass)).arg(name(cell.predictedClass))
    }

    Label { text: qsTr("Columns") }
    GridSettings {
        id: gridSettings
        Layout.fillWidth: true
        onGoTo: bar.goTo(row)
    }

    Label { text: qsTr("Review") }
    RowLayout {
        Layout.fillWidth: true
        ReviewProgress {
            objectName: "reviewProgress"
            Layout.fillWidth: true
            statusCounts: ImageFilter.statusCounts
            statusValue: ImageFilter.statusFilter
            progress: ReviewStatus.progress
            onStatusChosen: ImageFilter.statusFilter = value
        }
        DuplicateBar {
            objectName: "duplicateBar"
            Layout.fillWidth: true
            busy: DuplicateSearch.busy
            showProgress: DuplicateSearch.showProgress
            done: DuplicateSearch.done
            total: DuplicateSearch.total
            count: ImageFilter.duplicateCount
            filterOn: ImageFilter.duplicateFilter
            message: DuplicateSearch.message
            canSearch: ImageFilter.total > 0
            onFindClicked: DuplicateSearch.find()
            onCancelClicked: DuplicateSearch.cancel()
            onFilterToggled: ImageFilter.duplicateFilter = on
        }
    }
    ReviewNotice {
        objectName: "reviewNotice"
        Layout.columnSpan: 2
        Layout.fillWidth: true
        damage: ReviewStatus.damage
        unsaved: ReviewStatus.unsaved
        saveError: ReviewStatus.saveError
        onReplaceAgreed: ReviewStatus.allowOverwrite()
    }
    // A picture with a near-duplicate in another split: a line of its own, as it matters.
    Label {
        objectName: "lblDuplicateLeak"
        Layout.columnSpan: 2
        Layout.fillWidth: true
        visible: !DuplicateSearch.busy && DuplicateSearch.leakMessage !== ""
        text: "⚠ " + DuplicateSearch.leakMessage
        color: "firebrick"
        wrapMode: Text.Wrap
    }

    Label { text: qsTr("Filter") }
    FilterBar {
        objectName: "filterBar"
        Layout.fillWidth: true
        classOptions: bar.classOptions()
        problemCounts: ImageFilter.problemCounts
        shapeCounts: ImageFilter.shapeCounts
        predictionCounts: ImageFilter.predictionCounts
        classValue: ImageFilter.classFilter
        problemValue: ImageFilter.problemFilter
        shapeValue: ImageFilter.shapeFilter
        predictionValue: ImageFilter.predictionFilter
        sortValue: ImageFilter.sortOrder
        sortReversed: ImageFilter.sortReversed
        predictionsLoaded: PredictionMatcher.available
        confusionText: bar.confusionText()
        shown: ImageFilter.count
        total: ImageFilter.total
        onNameEdited: ImageFilter.nameFilter = text
        onClassChosen: ImageFilter.classFilter = value
        onProblemChosen: ImageFilter.problemFilter = value
        onShapeChosen: ImageFilter.shapeFilter = value
        onPredictionChosen: ImageFilter.predictionFilter = value
        onSortChosen: ImageFilter.sortOrder = value
        onSortReversedChosen: ImageFilter.sortReversed = reversed
        onConfusionCleared: ImageFilter.clearConfusionFilter()
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
        onMetricsRequested: bar.metricsRequested()
    }
}
