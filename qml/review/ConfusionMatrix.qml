import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Label classes down, predicted classes across, each followed by "background": a cell
// counts the predictions of its column on label boxes of its row (a missed label box
// in the background column, a prediction on no label box in the background row),
// shaded by its count. Names stay in view while the cells scroll; only the cells in
// view are drawn, so that hundreds of classes cost no more than a few.
ColumnLayout {
    id: matrix

    property string title: ""
    // Rows of counts, by label class in the order of classes and then background.
    property var counts: []
    property var classes: []
    property var className: function (catId) { return String(catId) }
    // What cellClicked() gives for the background row or column.
    property int backgroundClass: -1

    signal cellClicked(int labelClass, int predictedClass)

    readonly property int size: counts.length
    readonly property real cellSize: 40
    readonly property real rowHeader: 130
    readonly property real columnHeader: 100
    // The largest count off the diagonal and on it, each shading its own cells.
    readonly property var largest: {
        let off = 0, on = 0
        for (let r = 0; r < size; ++r)
            for (let c = 0; c < size; ++c) {
                const n = counts[r][c]
                if (r === c && r + 1 < size)
                    on = Math.max(on, n)
                else
                    off = Math.max(off, n)
            }
        return { off: off, on: on }
    }

    spacing: 4
    clip: true
    onCountsChanged: canvas.requestPaint()

    function name(index) {
        return index < classes.length ? className(classes[index]) : qsTr("background")
    }
    function catIdAt(index) {
        return index < classes.length ? classes[index] : backgroundClass
    }
    // The cell under a point of the view, or null over the names.
    function cellAt(x, y) {
        const column = Math.floor((x - rowHeader + view.contentX) / cellSize)
        const row = Math.floor((y - columnHeader + view.contentY) / cellSize)
        if (x < rowHeader || y < columnHeader || row >= size || column >= size)
            return null
        return { row: row, column: column }
    }

    SystemPalette { id: system }
    Label {
        Layout.fillWidth: true
        text: matrix.title
        font.bold: true
        wrapMode: Text.Wrap
    }
    Item {
        Layout.fillWidth: true
        Layout.fillHeight: true
        Layout.minimumHeight: 160
        clip: true

        Canvas {
            id: canvas
            objectName: "confusionCanvas"
            anchors.fill: parent
            onWidthChanged: requestPaint()
            onHeightChanged: requestPaint()

            function shade(count, diagonal) {
                const most = diagonal ? matrix.largest.on : matrix.largest.off
                if (count === 0 || most === 0)
                    return "white"
                const t = 0.12 + 0.88 * Math.log(1 + count) / Math.log(1 + most)
                return diagonal ? Qt.rgba(0.12, 0.31, 0.6, t) : Qt.rgba(0.8, 0.3, 0.05, t)
            }

            onPaint: {
                const ctx = getContext("2d")
                ctx.reset()
                const n = matrix.size, cell = matrix.cellSize
                const left = matrix.rowHeader, top = matrix.columnHeader
                const x0 = view.contentX, y0 = view.contentY
                const first = { column: Math.max(0, Math.floor(x0 / cell)), row: Math.max(0, Math.floor(y0 / cell)) }
                const last = { column: Math.min(n - 1, Math.floor((x0 + width - left) / cell)),
                               row: Math.min(n - 1, Math.floor((y0 + height - top) / cell)) }
                ctx.font = "11px sans-serif"
                ctx.textAlign = "center"
                ctx.textBaseline = "middle"
                for (let r = first.row; r <= last.row; ++r) {
                    for (let c = first.column; c <= last.column; ++c) {
                        const count = matrix.counts[r][c]
                        const x = left + c * cell - x0, y = top + r * cell - y0
                        const diagonal = r === c && r + 1 < n
                        ctx.fillStyle = shade(count, diagonal)
                        ctx.fillRect(x, y, cell, cell)
                        ctx.strokeStyle = "#e0e0e0"
                        ctx.strokeRect(x + 0.5, y + 0.5, cell - 1, cell - 1)
                        if (count === 0)
                            continue
                        const dark = (diagonal ? matrix.largest.on : matrix.largest.off) > 0
                                && Math.log(1 + count) / Math.log(1 + (diagonal ? matrix.largest.on : matrix.largest.off)) > 0.5
                        ctx.fillStyle = dark ? "white" : "black"
                        ctx.fillText(String(count), x + cell / 2, y + cell / 2, cell - 4)
                    }
                }
                // The names over the cells that scrolled under them.
                ctx.fillStyle = system.window
                ctx.fillRect(0, 0, width, top)
                ctx.fillRect(0, 0, left, height)
                ctx.fillStyle = system.windowText
                ctx.textAlign = "right"
                for (let r = first.row; r <= last.row; ++r)
                    ctx.fillText(matrix.name(r), left - 6, top + r * cell - y0 + cell / 2, left - 10)
                for (let c = first.column; c <= last.column; ++c) {
                    ctx.save()
                    ctx.translate(left + c * cell - x0 + cell / 2, top - 6)
                    ctx.rotate(-Math.PI / 3)
                    ctx.textAlign = "left"
                    ctx.fillText(matrix.name(c), 0, 0, top * 1.1)
                    ctx.restore()
                }
                ctx.fillStyle = "gray"
                ctx.textAlign = "left"
                ctx.fillText(qsTr("label ↓  predicted →"), 4, 10)
            }
        }

        Flickable {
            id: view
            objectName: "confusionView"
            anchors.fill: parent
            // Room on the right for the last class's slanted name.
            contentWidth: matrix.rowHeader + matrix.size * matrix.cellSize + matrix.columnHeader * 0.6
            contentHeight: matrix.columnHeader + matrix.size * matrix.cellSize
            boundsBehavior: Flickable.StopAtBounds
            onContentXChanged: canvas.requestPaint()
            onContentYChanged: canvas.requestPaint()
            // Shown all the time where there is more to see: the matrix looks whole otherwise.
            ScrollBar.vertical: ScrollBar {
                policy: view.contentHeight > view.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
            }
            ScrollBar.horizontal: ScrollBar {
                policy: view.contentWidth > view.width ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
            }

            MouseArea {
                id: pointer
                objectName: "confusionCells"
                width: view.contentWidth
                height: view.contentHeight
                hoverEnabled: true
                readonly property var hovered: containsMouse ? matrix.cellAt(mouseX - view.contentX, mouseY - view.contentY)
                                                             : null
                cursorShape: hovered ? Qt.PointingHandCursor : Qt.ArrowCursor
                onClicked: {
                    const cell = matrix.cellAt(mouse.x - view.contentX, mouse.y - view.contentY)
                    if (cell)
                        matrix.cellClicked(matrix.catIdAt(cell.row), matrix.catIdAt(cell.column))
                }
                ToolTip {
                    x: pointer.mouseX + 12
                    y: pointer.mouseY + 16
                    delay: 300
                    visible: pointer.hovered !== null
                    text: pointer.hovered ? qsTr("Labelled %1, predicted %2: %3")
                                           .arg(matrix.name(pointer.hovered.row)).arg(matrix.name(pointer.hovered.column))
                                           .arg(matrix.counts[pointer.hovered.row][pointer.hovered.column]) : ""
                }
            }
        }
    }
}
