import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The confidence a prediction needs to count and the IoU that matches it to a label
// box, each a compact slider with its value; moving one matches again at once. The
// button asks for the figures of the matching.
RowLayout {
    id: thresholds

    property real confidence: 0.25
    property real iou: 0.5
    property bool metricsButton: true

    signal confidenceMoved(real value)
    signal iouMoved(real value)
    signal metricsRequested()

    component Threshold: RowLayout {
        property alias text: name.text
        property alias value: slider.value
        signal moved(real value)

        Label { id: name }
        Slider {
            id: slider
            objectName: "slider" + name.text
            implicitWidth: 140
            from: 0
            to: 1
            stepSize: 0.01
            onMoved: parent.moved(value)
        }
        Label {
            text: slider.value.toFixed(2)
            font.family: "monospace"
        }
    }

    Threshold {
        text: qsTr("Confidence")
        value: thresholds.confidence
        onMoved: thresholds.confidenceMoved(value)
    }
    Threshold {
        text: qsTr("IoU")
        value: thresholds.iou
        onMoved: thresholds.iouMoved(value)
    }
    Button {
        objectName: "btnMetrics"
        visible: thresholds.metricsButton
        text: qsTr("Metrics")
        onClicked: thresholds.metricsRequested()
    }
    Item { Layout.fillWidth: true }
}
