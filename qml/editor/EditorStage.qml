import QtQuick 2.15

// Where the open tile's content is shown, and how: its zoom and shift, and what the
// keys held down do. The open tile moves itself in here and reports its picture.
Item {
    id: stage

    // The view of the picture: scale, then shift.
    property real zoom: 1
    property real panX: 0
    property real panY: 0
    // Space pans with the left button; H hides the boxes while held.
    property bool spaceHeld: false
    property bool boxesHidden: false
    // Whether boxes carry their class tags (in the grid, on tiles large enough).
    property bool tagsShown: true
    // Polygons drawn as their bounding boxes (B), in the grid and here.
    property bool polygonsAsBoxes: false
    // Reported by the tiles: the pointer in the window, as last seen over one. And by
    // the open tile: its picture, the picture's size on screen, and the size it was
    // decoded at (which neighbours are fetched at).
    property point windowPointer
    property Item picture: null
    property size pictureSize
    property size pictureRequest: Qt.size(-1, -1)

    // The pointer in the open picture, also when that came under a pointer at rest
    // (after next or previous).
    function pointer() {
        return picture ? picture.mapFromItem(null, windowPointer.x, windowPointer.y) : Qt.point(0, 0)
    }

    // A box of the open tile asks for the class picker.
    signal classPickerRequested()

    function clamp(val, min, max) {
        return val < min ? min : (val > max ? max : val)
    }

    // Sets the zoom, keeping the point (vx, vy) of a view of the given size where it
    // is; the picture always covers the view.
    function zoomAt(vx, vy, newZoom, viewWidth, viewHeight) {
        newZoom = clamp(newZoom, 1, 32)
        const qx = (vx - panX) / zoom, qy = (vy - panY) / zoom
        zoom = newZoom
        panTo(vx - newZoom * qx, vy - newZoom * qy, viewWidth, viewHeight)
    }

    function panTo(x, y, viewWidth, viewHeight) {
        panX = clamp(x, viewWidth * (1 - zoom), 0)
        panY = clamp(y, viewHeight * (1 - zoom), 0)
    }

    function fit() {
        zoom = 1
        panX = 0
        panY = 0
    }
}
