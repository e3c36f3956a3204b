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
        problems: imgProblems
        thumbnails: grid.thumbnails
        open: grid.openRow === imgRow
        openBlocked: grid.openBlocked
        stage: grid.stage
        colorOf: grid.colorOf
        nameOf: grid.nameOf
        onOpenRequested: grid.openRequested(index)
        onMenuRequested: {
            menu.row = imgRow
            menu.popup(area, x, y)
        }
    }

    TileMenu {
        id: menu
        objectName: "ctxMenu"
        onDeleteRequested: grid.removeRequested(row)
    }
}
