import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Charts of a set of images: boxes per class, images by number of boxes, box widths
// against heights, and problems per kind; the title counts polygons and their points. stats is what ImageFilter.statistics()
// gives; className turns a class number into its name.
Dialog {
    id: panel

    property var stats: ({})
    property var className: function (catId) { return String(catId) }

    title: {
        const text = qsTr("Statistics of the %1 images shown: %2 boxes").arg(stats.images || 0).arg(stats.boxes || 0)
        if (!(stats.polygons > 0))
            return text
        return text + qsTr(", %1 of them polygons of a median %2 points (5% %3, 95% %4)")
                          .arg(stats.polygons).arg(stats.points.median).arg(stats.points.p5).arg(stats.points.p95)
    }
    modal: true
    standardButtons: Dialog.Close
    anchors.centerIn: Overlay.overlay
    width: parent ? parent.width * 0.9 : 800
    height: parent ? parent.height * 0.9 : 600

    function field(list, key) {
        return (list || []).map(function (entry) { return entry[key] })
    }


    GridLayout {
        anchors.fill: parent
        columns: 2
        rowSpacing: 12
        columnSpacing: 16

        BarChart {
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
