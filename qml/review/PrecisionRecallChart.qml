import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// One class's precision against recall down its predictions, highest confidence
// first: the curve itself, thin, and the interpolated precision whose area is the AP,
// as steps; a dot where the thresholds in force put the class.
ColumnLayout {
    id: chart

    property string title: ""
    // Maps of recall, precision and interpolated, in the order of the list.
    property var points: []
    property real recallAtThreshold: -1
    property real precisionAtThreshold: -1

    spacing: 4
    onPointsChanged: canvas.requestPaint()
    onRecallAtThresholdChanged: canvas.requestPaint()
    onPrecisionAtThresholdChanged: canvas.requestPaint()

    Label {
        text: chart.title
        font.bold: true
        elide: Text.ElideRight
        Layout.fillWidth: true
    }
    Canvas {
        id: canvas
        objectName: "precisionRecallCanvas"
        Layout.fillWidth: true
        Layout.fillHeight: true
        Layout.minimumHeight: 120

        readonly property real plotLeft: 40
        readonly property real plotBottom: 26
        readonly property real plotWidth: Math.max(1, width - plotLeft - 10)
        readonly property real plotHeight: Math.max(1, height - plotBottom - 8)

        function px(recall) { return plotLeft + recall * plotWidth }
        function py(precision) { return 8 + (1 - precision) * plotHeight }

        onWidthChanged: requestPaint()
        onHeightChanged: requestPaint()
        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            ctx.fillStyle = "white"
            ctx.fillRect(plotLeft, 8, plotWidth, plotHeight)
            ctx.font = "11px sans-serif"
            ctx.lineWidth = 1
            for (let i = 0; i <= 5; ++i) {
                const v = i / 5
                ctx.strokeStyle = "#dddddd"
                ctx.beginPath()
                ctx.moveTo(px(v), 8)
                ctx.lineTo(px(v), 8 + plotHeight)
                ctx.moveTo(plotLeft, py(v))
                ctx.lineTo(plotLeft + plotWidth, py(v))
                ctx.stroke()
                ctx.fillStyle = "gray"
                ctx.textAlign = "center"
                ctx.fillText(v.toFixed(1), px(v), height - plotBottom + 13)
                ctx.textAlign = "right"
                ctx.fillText(v.toFixed(1), plotLeft - 4, py(v) + 4)
            }
            ctx.textAlign = "center"
            ctx.fillText(qsTr("recall"), plotLeft + plotWidth / 2, height - 2)
            ctx.save()
            ctx.translate(10, 8 + plotHeight / 2)
            ctx.rotate(-Math.PI / 2)
            ctx.fillText(qsTr("precision"), 0, 0)
            ctx.restore()

            const points = chart.points || []
            if (points.length === 0)
                return
            ctx.strokeStyle = "#9ab8e0"
            ctx.beginPath()
            ctx.moveTo(px(points[0].recall), py(points[0].precision))
            for (const p of points)
                ctx.lineTo(px(p.recall), py(p.precision))
            ctx.stroke()
            ctx.strokeStyle = "#1f4e9a"
            ctx.lineWidth = 2
            ctx.beginPath()
            // Over each stretch of recall, the precision at its right end.
            let recall = 0
            ctx.moveTo(px(0), py(points[0].interpolated))
            for (const p of points) {
                ctx.lineTo(px(recall), py(p.interpolated))
                ctx.lineTo(px(p.recall), py(p.interpolated))
                recall = p.recall
            }
            ctx.stroke()
            if (chart.recallAtThreshold >= 0 && chart.precisionAtThreshold >= 0) {
                ctx.fillStyle = "darkorange"
                ctx.beginPath()
                ctx.arc(px(chart.recallAtThreshold), py(chart.precisionAtThreshold), 5, 0, 2 * Math.PI)
                ctx.fill()
            }
        }
    }
    Label {
        Layout.fillWidth: true
        elide: Text.ElideRight
        color: "dimgray"
        font.pixelSize: 11
        text: qsTr("Thin: precision down the predictions by confidence; thick: interpolated, its area the AP; dot: at the thresholds in force.")
    }
}
