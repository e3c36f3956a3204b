import QtQuick 2.15
import QtQml 2.15
import QtQuick.Window 2.15
import QtQuick.Controls 2.15
import Boxmere 1.0
import "../editor"
import "../review"
import "qrc:/"

// One image of the grid: its picture, caption, row number and problem marks, and
// its boxes. The open tile's content moves into the editor's stage, where a left
// drag draws a box, a middle drag (or a left one with Space held) pans and
// Ctrl+wheel zooms; its edits go to the edit session.
Item {
    id: tile

    property int shownRow: -1
    property int imageRow: -1
    property QtObject boxes: null
    property string filePath: ""
    property string fileName: ""
    property var problems: []
    // Its review status: ReviewStatus's value.
    property int status: 0
    // Pictures come decoded at the size shown, off the GUI thread; false loads them
    // whole and synchronously.
    property bool thumbnails: true
    property bool open: false
    // A load under way would take the open tile away.
    property bool openBlocked: false
    property EditorStage stage: null
    property var colorOf: function (catId) { return "black" }
    property var nameOf: function (catId) { return String(catId) }
    // Narrower tiles leave their boxes without class tags, which could not be read.
    property real tagMinWidth: 240
    signal openRequested()
    signal menuRequested(Item area, real x, real y)

    // Picture sizes are asked for in steps, so that resizing the window does not
    // decode the picture again for every pixel.
    function pictureSize(length) {
        return Math.max(64, Math.ceil(length * Screen.devicePixelRatio / 64) * 64)
    }

    function clamp(val, min, max) {
        return val < min ? min : (val > max ? max : val)
    }

    // The problems of one box, one a line, for its tool tip.
    function boxProblems(box) {
        return problems.filter(function (p) { return p.box === box }).map(function (p) { return p.text }).join("\n")
    }

    // Light on a dark backing, to be read on any picture.
    component Caption: Label {
        color: "white"
        leftPadding: 3
        rightPadding: 3
        background: Rectangle { color: "#a0000000"; radius: 2 }
    }

    Item {
        anchors.fill: parent
        anchors.margins: 2

        Rectangle {
            id: rcDelegate
            objectName: "cell" + tile.shownRow
            readonly property int row: tile.shownRow
            readonly property bool single: tile.open && tile.stage !== null
            readonly property real zoom: tile.open ? tile.stage.zoom : 1
            readonly property real panX: tile.open ? tile.stage.panX : 0
            readonly property real panY: tile.open ? tile.stage.panY : 0
            anchors.fill: parent
            border.width: 1
            border.color: "gray"
            clip: single

            states: [
                State {
                    name: "multiple"
                    when: !rcDelegate.single
                },
                State {
                    name: "single"
                    when: rcDelegate.single
                    ParentChange { target: rcDelegate; parent: tile.stage }
                }
            ]

            // What the editor needs to know of the open picture. Not restored on
            // leaving, so that the tile opened next is not overwritten.
            Binding {
                target: tile.stage
                when: rcDelegate.single
                property: "picture"
                value: content
                restoreMode: Binding.RestoreNone
            }
            Binding {
                target: tile.stage
                when: rcDelegate.single
                property: "pictureSize"
                value: Qt.size(content.width, content.height)
                restoreMode: Binding.RestoreNone
            }
            Binding {
                target: tile.stage
                when: rcDelegate.single
                property: "pictureRequest"
                value: image.sourceSize
                restoreMode: Binding.RestoreNone
            }

            StatusBadge {
                objectName: "statusBadge"
                anchors.left: parent.left
                anchors.bottom: parent.bottom
                anchors.margins: 4
                z: 1
                status: tile.status
            }

            Item {
                id: view
                anchors.fill: parent
                anchors.margins: 1
                transform: [
                    Scale { xScale: rcDelegate.zoom; yScale: rcDelegate.zoom },
                    Translate { x: rcDelegate.panX; y: rcDelegate.panY }
                ]

                Image {
                    id: image
                    objectName: "image"
                    anchors.fill: parent
                    fillMode: Image.PreserveAspectFit
                    asynchronous: tile.thumbnails
                    // The provider keeps a cache of its own, bounded in size;
                    // Qt's would hold every picture that scrolled by.
                    cache: !tile.thumbnails
                    sourceSize: tile.thumbnails ? Qt.size(tile.pictureSize(width), tile.pictureSize(height))
                                                : Qt.size(-1, -1)
                    source: tile.filePath.length === 0 ? ""
                            : tile.thumbnails ? "image://thumbnail/" + Utils.toFileUrl(tile.filePath)
                                              : Utils.toFileUrl(tile.filePath)
                }

                Caption {
                    id: rowNumber
                    objectName: "lblRow"
                    anchors.left: parent.left
                    anchors.top: parent.top
                    anchors.margins: 2
                    text: "%1".arg(tile.shownRow)
                }
                Caption {
                    objectName: "lblName"
                    anchors.left: rowNumber.right
                    anchors.top: rowNumber.top
                    anchors.leftMargin: 2
                    // Cut short before the problem mark or the tile's edge.
                    width: Math.max(0, Math.min(implicitWidth, (problemMark.visible ? problemMark.x : parent.width) - 2 - x))
                    elide: Text.ElideRight
                    text: tile.fileName
                }

                // A tile whose labels have problems says how many.
                Label {
                    id: problemMark
                    objectName: "problemMark"
                    anchors.right: parent.right
                    anchors.top: parent.top
                    anchors.margins: 2
                    visible: tile.problems.length > 0
                    text: visible ? "⚠ %1".arg(tile.problems.length) : ""
                    color: "white"
                    font.bold: true
                    padding: 2
                    background: Rectangle { color: "#c000c0"; radius: 3 }
                }

                // Edits not yet saved to the label file.
                Label {
                    objectName: "unsavedMark"
                    anchors.right: parent.right
                    anchors.bottom: parent.bottom
                    anchors.margins: 2
                    visible: !tile.open && tile.boxes !== null && tile.boxes.modified
                    text: qsTr("● unsaved")
                    color: "white"
                    font.bold: true
                    padding: 2
                    background: Rectangle { color: "#d35400"; radius: 3 }
                }

                Label {
                    objectName: "lblImageProblem"
                    anchors.centerIn: parent
                    visible: image.status === Image.Error || tile.filePath.length === 0
                    text: visible && Utils.fileExists(tile.filePath) ? qsTr("unreadable image") : qsTr("missing image")
                    color: "firebrick"
                    font.bold: true
                }

                MouseArea {
                    id: mouseFull
                    objectName: "mouseFull"
                    anchors.fill: parent
                    acceptedButtons: Qt.LeftButton | Qt.RightButton | Qt.MiddleButton
                    hoverEnabled: true

                    // "draw", "pan", or "" when neither runs.
                    property string gesture: ""
                    property point from      // in the picture, or the view for a pan
                    property point panFrom
                    property bool moved: false

                    // Where the pointer is, for the keys that add a box under it.
                    function reportPointer() {
                        if (tile.stage)
                            tile.stage.windowPointer = mapToItem(null, mouseX, mouseY)
                    }
                    onMouseXChanged: reportPointer()
                    onMouseYChanged: reportPointer()

                    function inPicture(mouse) {
                        return Qt.point(tile.clamp(mouse.x - content.x, 0, content.width),
                                        tile.clamp(mouse.y - content.y, 0, content.height))
                    }

                    onPressed: {
                        gesture = ""
                        moved = false
                        if (!tile.open)
                            return
                        if (mouse.button === Qt.MiddleButton || (mouse.button === Qt.LeftButton && tile.stage.spaceHeld)) {
                            gesture = "pan"
                            from = mapToItem(rcDelegate, mouse.x, mouse.y)
                            panFrom = Qt.point(rcDelegate.panX, rcDelegate.panY)
                        } else if (mouse.button === Qt.LeftButton && !EditSession.drawingPolygon) {
                            gesture = "draw"
                            from = inPicture(mouse)
                        }
                    }
                    onPositionChanged: {
                        if (gesture === "pan") {
                            const at = mapToItem(rcDelegate, mouse.x, mouse.y)
                            moved = true
                            tile.stage.panTo(panFrom.x + at.x - from.x, panFrom.y + at.y - from.y, view.width, view.height)
                        } else if (gesture === "draw") {
                            const to = inPicture(mouse)
                            // A few pixels on screen tell a drag from a click.
                            if (!moved && Math.max(Math.abs(to.x - from.x), Math.abs(to.y - from.y)) * rcDelegate.zoom < 4)
                                return
                            moved = true
                            band.x = Math.min(from.x, to.x)
                            band.y = Math.min(from.y, to.y)
                            band.width = Math.abs(to.x - from.x)
                            band.height = Math.abs(to.y - from.y)
                        }
                    }
                    onReleased: {
                        if (gesture === "draw" && moved)
                            EditSession.drawBox(from, inPicture(mouse), Qt.size(content.width, content.height))
                        gesture = ""
                    }
                    onCanceled: {
                        gesture = ""
                        moved = false
                    }
                    // The second click of a double click while drawing a polygon; else one
                    // on the selected polygon's side adds a corner, and one that a large
                    // box left to this area asks for its class.
                    onDoubleClicked: {
                        if (!tile.open || mouse.button !== Qt.LeftButton)
                            return
                        const at = Qt.point(mouse.x - content.x, mouse.y - content.y), size = Qt.size(content.width, content.height)
                        if (EditSession.drawingPolygon)
                            EditSession.addDraftPoint(at, size, 8 / rcDelegate.zoom)
                        else if (EditSession.selected >= 0 && !EditSession.addVertexAt(EditSession.selected, at, size, 6 / rcDelegate.zoom))
                            tile.stage.classPickerRequested()
                    }
                    onWheel: {
                        if (!tile.open || !(wheel.modifiers & Qt.ControlModifier)) {
                            wheel.accepted = false
                            return
                        }
                        const at = mapToItem(rcDelegate, wheel.x, wheel.y)
                        tile.stage.zoomAt(at.x - view.x, at.y - view.y, rcDelegate.zoom * Math.pow(1.25, wheel.angleDelta.y / 120),
                                          view.width, view.height)
                    }
                    onClicked: {
                        // The end of a drag or a pan, not a click.
                        if (moved || mouse.button === Qt.MiddleButton)
                            return
                        if (mouse.button === Qt.LeftButton) {
                            const at = Qt.point(mouse.x - content.x, mouse.y - content.y), size = Qt.size(content.width, content.height)
                            if (tile.open && EditSession.drawingPolygon) {
                                EditSession.addDraftPoint(at, size, 8 / rcDelegate.zoom)
                            } else if (tile.open) {
                                // Boxes leave a click to this area where a drag would draw.
                                if (tile.stage.boxesHidden)
                                    EditSession.select(-1)
                                else
                                    EditSession.selectAt(at, size, 6 / rcDelegate.zoom)
                            } else if (EditSession.selected >= 0) {
                                EditSession.select(-1)
                            } else if (!tile.openBlocked) {
                                tile.openRequested()
                            }
                        } else if (!tile.open) {
                            tile.menuRequested(mouseFull, mouse.x, mouse.y)
                        }
                    }
                }

                Item {
                    id: content
                    objectName: "rcContent"
                    anchors.centerIn: parent
                    width: image.paintedWidth
                    height: image.paintedHeight
                    // Boxes past the picture's edge, and their tags, end at the edge.
                    clip: true

                    // The box being drawn.
                    Rectangle {
                        id: band
                        objectName: "rcBand"
                        visible: mouseFull.gesture === "draw" && mouseFull.moved
                        color: "transparent"
                        border.color: tile.colorOf(EditSession.category)
                        border.width: 1 / rcDelegate.zoom
                        z: 200
                    }

                    Repeater {
                        objectName: "rptBoxes"
                        model: tile.boxes
                        delegate: TileBox {
                            owner: tile
                            picture: content
                            row: index
                            catId: model.catId
                            iCx: model.cx
                            iCy: model.cy
                            iCw: model.cw
                            iCh: model.ch
                            // B shows polygons as their bounding boxes.
                            polygon: tile.stage !== null && tile.stage.polygonsAsBoxes ? [] : model.points
                        }
                    }

                    PredictionLayer {
                        anchors.fill: parent
                        imageRow: tile.imageRow
                        boxes: tile.boxes
                        zoom: rcDelegate.zoom
                        colorOf: tile.colorOf
                        tagShown: tile.open || tile.width >= tile.tagMinWidth
                        visible: !(tile.open && tile.stage.boxesHidden)
                        editing: tile.open
                    }

                    // The polygon being drawn, click by click, up to the pointer.
                    PolygonItem {
                        objectName: "draft"
                        anchors.fill: parent
                        visible: tile.open && EditSession.drawingPolygon
                        points: visible && EditSession.draft.length > 0
                                ? EditSession.draft.concat([tile.clamp((mouseFull.mouseX - content.x) / content.width, 0, 1),
                                                            tile.clamp((mouseFull.mouseY - content.y) / content.height, 0, 1)])
                                : []
                        pictureSize: Qt.size(content.width, content.height)
                        color: tile.colorOf(EditSession.category)
                        lineWidth: 2 / rcDelegate.zoom
                        zoom: rcDelegate.zoom
                        closed: false
                        z: 200
                    }
                }
            }
        }
    }
}
