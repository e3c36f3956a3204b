import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The filters above the grid: a part of the file name, a class, a kind of problem, for
// sets that hold polygons a kind of shape and, with a model's predictions, a kind of
// disagreement and the order of the grid, each option with the number of images it
// would show; a cell of the confusion matrix as a chip that takes it off; and how many
// are shown.
RowLayout {
    id: bar

    // Options: {value, text}. The first of each is "no filter".
    property var classOptions: []
    // The images each kind of problem and each shape would show: ImageFilter's counts.
    property var problemCounts: []
    property var shapeCounts: []
    property var predictionCounts: []
    // The filters in force, to keep the boxes on them when the options change.
    property var classValue
    property string problemValue: ""
    property string shapeValue: ""
    property string predictionValue: ""
    property string sortValue: ""
    property bool sortReversed: false
    property bool predictionsLoaded: false
    // The confusion cell filtered to, e.g. "cat as dog"; "" for none.
    property string confusionText: ""
    property int shown: 0
    property int total: 0

    signal nameEdited(string text)
    signal classChosen(var value)
    signal problemChosen(string value)
    signal shapeChosen(string value)
    signal predictionChosen(string value)
    signal sortChosen(string value)
    signal sortReversedChosen(bool reversed)
    signal confusionCleared()
    signal statisticsRequested()

    // The boxes show the filters in force whether the options or the filters changed last.
    onClassValueChanged: cmbClass.currentIndex = indexOf(classOptions, classValue)
    onProblemValueChanged: cmbProblem.currentIndex = indexOf(problemOptions, problemValue)
    onShapeValueChanged: cmbShape.currentIndex = indexOf(shapeOptions, shapeValue)
    onPredictionValueChanged: cmbPrediction.currentIndex = indexOf(predictionOptions, predictionValue)
    onSortValueChanged: cmbSort.currentIndex = indexOf(sortOptions, sortValue)

    readonly property var problemOptions: {
        const options = [{ value: "", text: qsTr("All images") }]
        for (const entry of problemCounts) {
            if (entry.rows > 0 || entry.kind === problemValue)
                options.push({ value: entry.kind, text: "%1 (%2)".arg(entry.name).arg(entry.rows) })
        }
        return options
    }
    // Only for sets that hold polygons, or while the filter is on.
    readonly property var shapeOptions: {
        const options = [{ value: "", text: qsTr("All shapes") }]
        if (shapeValue === "" && !shapeCounts.some(function (entry) { return entry.shape === "polygons" && entry.rows > 0 }))
            return options
        for (const entry of shapeCounts)
            options.push({ value: entry.shape, text: "%1 (%2)".arg(entry.name).arg(entry.rows) })
        return options
    }

    readonly property var predictionOptions: {
        const options = [{ value: "", text: qsTr("All predictions") }]
        for (const entry of predictionCounts)
            options.push({ value: entry.kind, text: "%1 (%2)".arg(entry.name).arg(entry.rows) })
        return options
    }
    // The orders by predictions only for sets that have them.
    readonly property var sortOptions: [{ value: "", text: qsTr("File order") },
                                        { value: "name", text: qsTr("Name") },
                                        { value: "problems", text: qsTr("Most problems") },
                                        { value: "boxes", text: qsTr("Most boxes") },
                                        { value: "status", text: qsTr("Status: needs fix first") },
                                        { value: "smallest", text: qsTr("Smallest box") }].concat(
                                           predictionsLoaded || sortValue === "disagreements" || sortValue === "confidence"
                                           ? [{ value: "disagreements", text: qsTr("Most disagreements") },
                                              { value: "confidence", text: qsTr("Lowest confidence") }] : [])

    function indexOf(options, value) {
        for (let i = 0; i < options.length; ++i) {
            if (options[i].value === value)
                return i
        }
        return 0
    }

    TextField {
        id: txtName
        objectName: "txtNameFilter"
        Layout.fillWidth: true
        Layout.minimumWidth: 80
        placeholderText: qsTr("File name")
        selectByMouse: true
        onTextChanged: bar.nameEdited(text)
    }
    ComboBox {
        id: cmbClass
        objectName: "cmbClassFilter"
        // Narrower when the window is, so that the bar fits the smallest window.
        Layout.fillWidth: true
        Layout.minimumWidth: 90
        Layout.preferredWidth: 190
        textRole: "text"
        model: bar.classOptions
        onModelChanged: currentIndex = bar.indexOf(bar.classOptions, bar.classValue)
        onActivated: bar.classChosen(bar.classOptions[index].value)
    }
    ComboBox {
        id: cmbProblem
        objectName: "cmbProblemFilter"
        Layout.fillWidth: true
        Layout.minimumWidth: 90
        Layout.preferredWidth: 260
        textRole: "text"
        model: bar.problemOptions
        onModelChanged: currentIndex = bar.indexOf(bar.problemOptions, bar.problemValue)
        onActivated: bar.problemChosen(bar.problemOptions[index].value)
    }
    ComboBox {
        id: cmbShape
        objectName: "cmbShapeFilter"
        visible: bar.shapeOptions.length > 1
        Layout.fillWidth: true
        Layout.minimumWidth: 90
        Layout.preferredWidth: 170
        textRole: "text"
        model: bar.shapeOptions
        onModelChanged: currentIndex = bar.indexOf(bar.shapeOptions, bar.shapeValue)
        onActivated: bar.shapeChosen(bar.shapeOptions[index].value)
    }
    ComboBox {
        id: cmbPrediction
        objectName: "cmbPredictionFilter"
        visible: bar.predictionsLoaded || bar.predictionValue !== ""
        Layout.fillWidth: true
        Layout.minimumWidth: 90
        Layout.preferredWidth: 200
        textRole: "text"
        model: bar.predictionOptions
        onModelChanged: currentIndex = bar.indexOf(bar.predictionOptions, bar.predictionValue)
        onActivated: bar.predictionChosen(bar.predictionOptions[index].value)
    }
    ComboBox {
        id: cmbSort
        objectName: "cmbSortOrder"
        Layout.fillWidth: true
        Layout.minimumWidth: 90
        Layout.preferredWidth: 180
        textRole: "text"
        model: bar.sortOptions
        onModelChanged: currentIndex = bar.indexOf(bar.sortOptions, bar.sortValue)
        onActivated: bar.sortChosen(bar.sortOptions[index].value)
    }
    ToolButton {
        objectName: "btnSortReversed"
        text: bar.sortReversed ? "↑" : "↓"
        checkable: true
        checked: bar.sortReversed
        ToolTip.visible: hovered
        ToolTip.text: bar.sortReversed ? qsTr("Reversed order; click for the usual one") : qsTr("Reverse the order")
        onToggled: bar.sortReversedChosen(checked)
    }
    Button {
        objectName: "btnConfusionFilter"
        visible: bar.confusionText !== ""
        text: bar.confusionText + " ✕"
        ToolTip.visible: hovered
        ToolTip.text: qsTr("Show every image again")
        onClicked: bar.confusionCleared()
    }
    Label {
        objectName: "lblShown"
        text: bar.shown === bar.total ? qsTr("%1 images").arg(bar.total)
                                      : qsTr("%1 of %2 images").arg(bar.shown).arg(bar.total)
    }
    Button {
        objectName: "btnStatistics"
        text: qsTr("Statistics")
        onClicked: bar.statisticsRequested()
    }
}
