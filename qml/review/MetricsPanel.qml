import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// A model's predictions against the label boxes in figures: per class the counts at
// the thresholds in force and the average precision over every prediction, the two
// mean APs, one class's precision-recall curve and the confusion matrix, whose cells
// ask to show their images. metrics is PredictionMetrics (or an object with its
// properties), which computes again when the sliders move; className turns a class
// number into its name.
Dialog {
    id: panel

    property var metrics: null
    property var className: function (catId) { return String(catId) }
    // What cellClicked() gives for the background row or column.
    property int backgroundClass: -1
    // The class whose curve shows; the first with label boxes until one is chosen.
    property int chosenClass: -1
    // The thresholds the sliders show, which the figures follow.
    property real confidence: 0.25
    property real iou: 0.5

    signal cellClicked(int labelClass, int predictedClass)
    signal confidenceMoved(real value)
    signal iouMoved(real value)

    readonly property var classes: metrics ? metrics.classes : []
    readonly property var chosen: classes.find(function (entry) { return entry.catId === chosenClass }) || null
    // Reads classes so that the curve follows every new computation.
    readonly property var curve: metrics && chosen ? (metrics.classes, metrics.precisionRecall(chosenClass)) : []

    title: qsTr("Predictions against labels")
    modal: true
    standardButtons: Dialog.Close
    anchors.centerIn: Overlay.overlay
    width: parent ? parent.width * 0.95 : 1000
    height: parent ? parent.height * 0.95 : 700

    onClassesChanged: {
        if (chosen && chosen.labels > 0)
            return
        const first = classes.find(function (entry) { return entry.labels > 0 })
        chosenClass = first ? first.catId : -1
    }

    function figure(value) {
        return value.toFixed(3)
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        RowLayout {
            spacing: 24
            Label {
                objectName: "lblMeans"
                font.pixelSize: 18
                text: panel.metrics && panel.metrics.computed
                      ? qsTr("mAP@0.5 %1    mAP@0.5:0.95 %2").arg(panel.figure(panel.metrics.map50))
                        .arg(panel.figure(panel.metrics.mapCoco))
                      : qsTr("Computing…")
            }
            BusyIndicator {
                running: panel.metrics ? panel.metrics.busy : false
                Layout.preferredHeight: 28
                Layout.preferredWidth: 28
            }
            Item { Layout.fillWidth: true }
        }
        RowLayout {
            spacing: 16
            PredictionThresholds {
                objectName: "panelThresholds"
                Layout.fillWidth: false
                metricsButton: false
                confidence: panel.confidence
                iou: panel.iou
                onConfidenceMoved: panel.confidenceMoved(value)
                onIouMoved: panel.iouMoved(value)
            }
            Label {
                objectName: "lblThresholds"
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                visible: panel.metrics && panel.metrics.computed
                color: "dimgray"
                text: panel.metrics ? qsTr("Counts, precision and recall at confidence %1 and IoU %2; AP over every prediction.")
                                      .arg(panel.metrics.confidence.toFixed(2)).arg(panel.metrics.iou.toFixed(2)) : ""
            }
        }
        Label {
            objectName: "lblWithoutLabels"
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            visible: text.length > 0
            color: "darkorange"
            text: {
                const ids = panel.metrics ? panel.metrics.classesWithoutLabels : []
                if (ids.length === 0)
                    return ""
                return qsTr("Left out of the means, since no label box has their class: %1")
                       .arg(ids.map(function (catId) { return panel.className(catId) }).join(", "))
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 16

            ColumnLayout {
                Layout.fillHeight: true
                Layout.preferredWidth: Math.min(900, panel.availableWidth * 0.62)
                Layout.maximumWidth: Layout.preferredWidth
                spacing: 8

                MetricsTable {
                    objectName: "metricsTable"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.preferredHeight: 3
                    fitWidth: Math.min(900, panel.availableWidth * 0.62)
                    classes: panel.classes
                    className: panel.className
                    chosenClass: panel.chosenClass
                    onClassChosen: panel.chosenClass = catId
                }
                PrecisionRecallChart {
                    objectName: "precisionRecall"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.preferredHeight: 2
                    title: panel.chosen
                           ? (panel.chosen.labels > 0
                              ? qsTr("Precision and recall of %1 (AP50 %2)").arg(panel.className(panel.chosenClass))
                                .arg(panel.figure(panel.chosen.ap50))
                              : qsTr("%1 has no label boxes: no curve").arg(panel.className(panel.chosenClass)))
                           : qsTr("Precision and recall: choose a class in the table")
                    points: panel.curve
                    recallAtThreshold: panel.chosen && panel.chosen.labels > 0 ? panel.chosen.recall : -1
                    precisionAtThreshold: panel.chosen && panel.chosen.predictions > 0 ? panel.chosen.precision : -1
                }
            }
            ConfusionMatrix {
                objectName: "confusionMatrix"
                Layout.fillWidth: true
                Layout.preferredWidth: 0
                Layout.fillHeight: true
                title: qsTr("Confusion matrix (click a cell to show its images)")
                counts: panel.metrics ? panel.metrics.confusion : []
                classes: panel.metrics ? panel.metrics.confusionClasses : []
                className: panel.className
                backgroundClass: panel.backgroundClass
                onCellClicked: panel.cellClicked(labelClass, predictedClass)
            }
        }
    }
}
