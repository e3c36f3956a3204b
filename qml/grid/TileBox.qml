import QtQuick 2.15
import Boxmere 1.0
import "../review"
import "qrc:/"

// One box or polygon of a tile, placed over its picture; its edits go to the edit session.
BBox {
    id: box

    property Item owner: null
    // The tile, and its picture as shown.
    property Item picture: null
    property int row: -1
    property int catId: 0

    readonly property bool open: owner.open
    readonly property real bwidth: iCw * picture.width
    readonly property real bheight: iCh * picture.height
    readonly property real bx: iCx * picture.width - bwidth / 2
    readonly property real by: iCy * picture.height - bheight / 2
    readonly property size shownSize: Qt.size(picture.width, picture.height)

    objectName: "box" + row
    x: bx
    y: by
    width: bwidth
    height: bheight
    zoom: open ? owner.stage.zoom : 1
    tagText: owner.nameOf(catId)
    tagShown: owner.stage !== null && owner.stage.tagsShown && (open || owner.width >= owner.tagMinWidth)
    visible: !(open && owner.stage.boxesHidden)
    xMax: picture.width
    yMax: picture.height
    enabled: open && !owner.stage.spaceHeld && !EditSession.drawingPolygon
    bboxColor: owner.colorOf(catId)
    selected: open && EditSession.selected === row
    selectedVertex: selected ? EditSession.vertex : -1
    rotationHandle: selected && polygon.length === 8
                    ? EditSession.rotationHandle(row, shownSize, 24 / zoom) || null : null
    z: selected ? 100 : 10

    // Open for editing, a box with problems is ringed and names them.
    readonly property string problemText: open ? owner.boxProblems(row) : ""
    Loader {
        anchors.fill: parent
        active: box.problemText.length > 0
        sourceComponent: ProblemOutline {
            objectName: "problemOutline"
            text: box.problemText
            // Its ring takes the hover from the owner's mouse area.
            HoverHandler {
                onPointChanged: {
                    if (hovered)
                        box.owner.stage.windowPointer = point.scenePosition
                }
            }
        }
    }

    function inPicture(mouse) {
        return mapToItem(picture, mouse.x, mouse.y)
    }

    passesPress: function (mouse) {
        return EditSession.pressDraws(row, inPicture(mouse), shownSize, handleSize, mouse.modifiers & Qt.ShiftModifier)
    }
    // A double click on a polygon's side adds a corner there.
    takesDoubleClick: function (mouse) {
        return polygon.length > 0 && EditSession.addVertexAt(row, inPicture(mouse), shownSize, handleSize / 2)
    }
    onPressed: EditSession.select(row)
    onPickRequested: owner.stage.classPickerRequested()
    onEditStarted: EditSession.beginDrag()
    onEditFinished: EditSession.endDrag()
    onDimensionsChanged: {
        EditSession.setBoxRect(row, newCx, newCy, newCw, newCh)
        // A drag moved the box by hand; follow the model again, e.g. when the window is resized.
        x = Qt.binding(function () { return box.bx })
        y = Qt.binding(function () { return box.by })
    }
    onDeleteRequested: EditSession.deleteBox(row)
    onVertexPressed: {
        if (remove)
            EditSession.deleteVertex(row, vertex)
        else
            EditSession.selectVertex(vertex)
    }
    onVertexMoved: EditSession.moveVertex(row, vertex, at, shownSize)
    onRotated: EditSession.rotate(row, from, start, now, shownSize)
}
