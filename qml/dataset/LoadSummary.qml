import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Boxmere 1.0

// What the last load found, counts of what does not match up included; what the
// last conversion did; and why the class names could not be read.
ColumnLayout {
    id: summary

    property bool loaded: false
    property int rows: 0
    property int labelsWithoutImage: 0
    property int imagesWithoutLabel: 0
    property int unknownClassBoxes: 0
    // -1 when the load had no prediction folder.
    property int predictionFiles: -1
    property int predictionsWithoutImage: 0
    property int unreadablePredictionFiles: 0
    property int badPredictionLines: 0
    // From a COCO results file the counts are of detections; why the predictions were not read.
    property bool predictionsFromResults: false
    property string predictionError: ""
    // The class file of the last load ("" for none) and why it could not be read.
    property string classFile: ""
    property string classError: ""
    // How many class files could each be the one, none taken, while the window asks which.
    property int classCandidates: 0
    // Why the class file chosen for the data set was not used.
    property string classNotice: ""
    property string conversionMessage: ""
    property bool conversionFailed: false
    // Why the last load read nothing.
    property string loadError: ""

    visible: loaded || conversionMessage.length > 0 || classError.length > 0 || loadError.length > 0
             || classNotice.length > 0

    // A count with the locale's digit grouping and its noun, in the singular for one.
    function counted(n, one, many) {
        return (n === 1 ? one : many).arg(Number(n).toLocaleString(Qt.locale(), "f", 0))
    }

    function summaryText() {
        const parts = [counted(rows, qsTr("%1 image"), qsTr("%1 images")),
                       counted(labelsWithoutImage, qsTr("%1 label file without an image"),
                               qsTr("%1 label files without an image")),
                       counted(imagesWithoutLabel, qsTr("%1 image without a label file"),
                               qsTr("%1 images without a label file")),
                       counted(unknownClassBoxes, qsTr("%1 box of a class not in the list"),
                               qsTr("%1 boxes of a class not in the list"))]
        if (predictionError.length > 0) {
            parts.push(predictionError)
        } else if (predictionsFromResults) {
            const results = [counted(predictionFiles, qsTr("%1 prediction from a results file"),
                                     qsTr("%1 predictions from a results file")),
                             qsTr("%1 of no image found").arg(Number(predictionsWithoutImage).toLocaleString(Qt.locale(), "f", 0))]
            if (badPredictionLines > 0)
                results.push(counted(badPredictionLines, qsTr("%1 without a box"), qsTr("%1 without a box")))
            parts.push(results.join(", "))
        } else if (predictionFiles >= 0) {
            const predictions = [counted(predictionFiles, qsTr("%1 prediction file"), qsTr("%1 prediction files")),
                                 qsTr("%1 without an image").arg(Number(predictionsWithoutImage).toLocaleString(Qt.locale(), "f", 0))]
            if (unreadablePredictionFiles > 0)
                predictions.push(qsTr("%1 unreadable").arg(unreadablePredictionFiles))
            if (badPredictionLines > 0)
                predictions.push(counted(badPredictionLines, qsTr("%1 line that is no prediction"),
                                         qsTr("%1 lines that are no prediction")))
            parts.push(predictions.join(", "))
        }
        parts.push(classFile.length > 0 ? qsTr("classes from %1").arg(Utils.fileName(classFile))
                   : classCandidates > 1 ? qsTr("%1 possible class files, none chosen").arg(classCandidates)
                   : qsTr("no class file"))
        return parts.join(" · ")
    }

    Label {
        id: lblLoadSummary
        objectName: "lblLoadSummary"
        Layout.fillWidth: true
        visible: summary.loaded
        wrapMode: Text.Wrap
        text: summary.summaryText()
    }
    Label {
        objectName: "lblLoadError"
        Layout.fillWidth: true
        visible: text.length > 0
        wrapMode: Text.Wrap
        color: "firebrick"
        text: summary.loadError
    }
    Label {
        id: lblConversion
        objectName: "lblConversion"
        Layout.fillWidth: true
        visible: text.length > 0
        wrapMode: Text.Wrap
        color: summary.conversionFailed ? "firebrick" : palette.text
        text: summary.conversionMessage
    }
    Label {
        id: lblClassError
        objectName: "lblClassError"
        Layout.fillWidth: true
        visible: text.length > 0
        wrapMode: Text.Wrap
        color: "firebrick"
        text: summary.classError.length > 0
              ? qsTr("Could not read the class names in %1: %2. Boxes show their class numbers.")
                .arg(summary.classFile).arg(summary.classError)
              : ""
    }
    Label {
        objectName: "lblClassNotice"
        Layout.fillWidth: true
        visible: text.length > 0
        wrapMode: Text.Wrap
        color: "firebrick"
        text: summary.classNotice
    }
}
