import QtQuick 2.15
import QtQuick.Controls 2.15
import Boxmere 1.0
import "../editor"

// The rows that pass the filters, as tiles in columns; imgRow is a row's place in
// ImageList. The tile of the open row moves into the editor's stage.
GridView {
    id: grid

    property int numCols: 4
    property bool thumbnails: true
    // The image-list row open for editing, or -1.
    property int openRow: -1
    property bool openBlocked: false
    property EditorStage stage: null
    property var colorOf: function (catId) { return "black" }
    property var nameOf: function (catId) { return String(catId) }

    signal openRequested(int row)
    signal removeRequested(int row)
    // ReviewStatus's value, for the image-list row.
    signal statusRequested(int row, int status)
    // The open row's place here, which becomes the current tile.
    property int openShownRow: -1
    onOpenShownRowChanged: if (openShownRow >= 0) currentIndex = openShownRow

    // On the current tile: G accepts, X needs fixing, E verified empty, each moving on;
    // U goes to the next unreviewed tile, Enter opens it.
    Keys.onPressed: {
        const status = [Qt.Key_G, Qt.Key_X, Qt.Key_E].indexOf(event.key) + 1
        if (event.modifiers !== Qt.NoModifier || currentIndex < 0)
            return
        if (status > 0) {
            statusRequested(ImageFilter.sourceRow(currentIndex), status)
            currentIndex = Math.min(count - 1, currentIndex + 1)
        } else if (event.key === Qt.Key_U) {
            const next = ImageFilter.nextUnreviewed(currentIndex)
            if (next >= 0)
                currentIndex = next
        } else if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter) {
            openRequested(currentIndex)
        } else {
            return
        }
        event.accepted = true
    }
    highlightMoveDuration: 0
    highlight: Rectangle {
        z: 2
        color: "transparent"
        border.color: "#1565c0"
        border.width: 3
        visible: grid.activeFocus
    }

    clip: true
    // Tiles are made as they scroll into view; pictures load off the GUI thread, so
    // none are made ahead of time (a reset then makes fewer).
    cacheBuffer: 0
    model: ImageFilter
    cellWidth: width / numCols
    cellHeight: cellWidth
    ScrollBar.vertical: ScrollBar {}

    delegate: ImageTile {
        width: grid.cellWidth
        height: grid.cellHeight
        shownRow: index
        imageRow: imgRow
        boxes: imgBBoxes
        filePath: imgFilePath
        fileName: imgBaseFileName
        // A verified empty image rightly has an empty label file.
        problems: imgStatus === 3 ? imgProblems.filter(function (p) { return p.kind !== "empty-file" }) : imgProblems
        status: imgStatus
        thumbnails: grid.thumbnails
        open: grid.openRow === imgRow
        openBlocked: grid.openBlocked
        stage: grid.stage
        colorOf: grid.colorOf
        nameOf: grid.nameOf
        onOpenRequested: {
            grid.currentIndex = index
            grid.forceActiveFocus()
            grid.openRequested(index)
        }
        onMenuRequested: {
            grid.currentIndex = index
            grid.forceActiveFocus()
            menu.row = imgRow
            menu.popup(area, x, y)
        }
    }

    TileMenu {
        id: menu
        objectName: "ctxMenu"
        onDeleteRequested: grid.removeRequested(row)
        onStatusRequested: grid.statusRequested(row, status)
    }
}
