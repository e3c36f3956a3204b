import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtQuick.Dialogs 1.3 as Dialogs
import Boxmere 1.0

// Charts of a set of images: boxes per class, images by number of boxes, box widths
// against heights, and problems per kind; the title counts polygons and their points. stats is what ImageFilter.statistics()
// gives; className turns a class number into its name.
Dialog {
    id: panel

    property var stats: ({})
    property var className: function (catId) { return String(catId) }
    // Writes the figures per class as CSV to a file; true when it did.
    property var saveCsv: function (file) { return false }
    // What the last save wrote, or why it could not.
    property string note: ""

    title: {
        const text = qsTr("Statistics of the %1 images shown: %2 boxes").arg(stats.images || 0).arg(stats.boxes || 0)
        if (!(stats.polygons > 0))
            return text
        return text + qsTr(", %1 of them polygons of a median %2 points (5% %3, 95% %4)")
                          .arg(stats.polygons).arg(stats.points.median).arg(stats.points.p5).arg(stats.points.p95)
    }
    modal: true
    anchors.centerIn: Overlay.overlay
    width: parent ? parent.width * 0.9 : 800
    height: parent ? parent.height * 0.9 : 600

    function field(list, key) {
        return (list || []).map(function (entry) { return entry[key] })
    }

    // Each chart as it is drawn, into a PNG file of its own in folder.
    function saveCharts(folder) {
        const charts = [[chartPerClass, "boxes-per-class"], [chartPerImage, "images-by-boxes"],
                        [chartSizes, "box-sizes"], [chartProblems, "problems"]]
        let left = charts.length, failed = []
        note = ""
        for (const [chart, name] of charts) {
            const file = folder + "/" + name + ".png"
            chart.grabToImage(function (result) {
                if (!Utils.savePng(result.image, file))
                    failed.push(Utils.fileName(file))
                if (--left === 0)
                    note = failed.length > 0 ? qsTr("Could not write %1").arg(failed.join(", "))
                                             : qsTr("Wrote %1 charts to %2").arg(charts.length).arg(folder)
            })
        }
    }

    onOpened: note = ""

    Dialogs.FileDialog {
        id: csvChooser
        title: "Save the statistics as CSV"
        selectExisting: false
        nameFilters: [qsTr("CSV (*.csv)")]
        onAccepted: {
            const file = Utils.toLocalPath(fileUrl)
            panel.note = panel.saveCsv(file) ? qsTr("Wrote %1").arg(file) : qsTr("Could not write %1").arg(file)
        }
    }
    Dialogs.FileDialog {
        id: pngChooser
        title: "Choose a folder for the charts"
        selectFolder: true
        onAccepted: panel.saveCharts(Utils.toLocalPath(fileUrl))
    }

    footer: DialogButtonBox {
        Button {
            objectName: "btnSaveCsv"
            text: qsTr("Save CSV…")
            DialogButtonBox.buttonRole: DialogButtonBox.ActionRole
            onClicked: csvChooser.open()
        }
        Button {
            objectName: "btnSavePng"
            text: qsTr("Save charts as PNG…")
            DialogButtonBox.buttonRole: DialogButtonBox.ActionRole
            onClicked: pngChooser.open()
        }
        Button {
            text: qsTr("Close")
            DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
        }
        onRejected: panel.close()
    }

    ColumnLayout {
        anchors.fill: parent

        Label {
            objectName: "lblStatsNote"
            Layout.fillWidth: true
            visible: panel.note.length > 0
            text: panel.note
            elide: Text.ElideMiddle
        }
        GridLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            columns: 2
            rowSpacing: 12
            columnSpacing: 16

            BarChart {
                id: chartPerClass
                objectName: "chartPerClass"
                Layout.fillWidth: true
                Layout.fillHeight: true
                // The rows share the height evenly, however long a list is.
                Layout.preferredHeight: 100
                title: qsTr("Boxes per class")
                labels: (panel.stats.perClass || []).map(function (entry) { return panel.className(entry.catId) })
                values: panel.field(panel.stats.perClass, "boxes")
                notes: panel.stats.polygons > 0 ? (panel.stats.perClass || []).map(function (entry) {
                    return entry.polygons > 0 ? qsTr("%1 polygons").arg(entry.polygons) : ""
                }) : []
            }
            BarChart {
                id: chartPerImage
                objectName: "chartPerImage"
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.preferredHeight: 100
                title: qsTr("Images by number of boxes")
                labels: (panel.field(panel.stats.perImage, "label")).map(function (label) { return qsTr("%1 boxes").arg(label) })
                values: panel.field(panel.stats.perImage, "images")
                color: "seagreen"
            }
            HeatMap {
                id: chartSizes
                objectName: "chartSizes"
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.preferredHeight: 100
                title: qsTr("Box width and height (fractions of the image)")
                xTitle: qsTr("width")
                yTitle: qsTr("height")
                bins: panel.stats.sizes ? panel.stats.sizes.bins : 0
                counts: panel.stats.sizes ? panel.stats.sizes.counts : []
                maxCount: panel.stats.sizes ? panel.stats.sizes.max : 0
            }
            BarChart {
                id: chartProblems
                objectName: "chartProblems"
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.preferredHeight: 100
                title: qsTr("Problems per kind")
                labelWidth: 240
                labels: panel.field(panel.stats.problems, "name")
                values: panel.field(panel.stats.problems, "count")
                color: "firebrick"
            }
        }
    }
}
