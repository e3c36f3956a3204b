import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Boxmere 1.0

// One box over a picture. It knows no model: its user places it, passes the
// normalised geometry and the picture size in, and writes back what it reports.
Rectangle {
    id: control

    property color bboxColor: "blue"
    property color bboxSelected: "red"
    // The scale the picture is shown at: handles, lines and the tag keep their size on screen.
    property real zoom: 1
    property real handleSize: 12 / zoom
    // Two device pixels, and never less than one pixel of the screen.
    property real lineWidth: Math.max(1, 2 / Screen.devicePixelRatio) / zoom
    property bool selected: false
    property real iCx: 0
    property real iCy: 0
    property real iCw: 0
    property real iCh: 0
    property real xMax: 0
    property real yMax: 0
    // The class tag.
    property string tagText: ""
    property bool tagShown: false
    // A polygon's corners as x, y pairs, fractions of the picture; empty for a box,
    // whose place is then taken by the polygon's bounding box.
    property var polygon: []
    readonly property bool isPolygon: polygon.length >= 6
    property int selectedVertex: -1
    // Where a rectangle's rotation handle goes in the picture, or null for none.
    property var rotationHandle: null

    signal pressed()
    signal deleteRequested()
    // A double click on the box: its class is to be chosen.
    signal pickRequested()
    signal dimensionsChanged(real newCx, real newCy, real newCw, real newCh)
    // Around a move or resize by the mouse, however many dimensionsChanged it brings.
    signal editStarted()
    signal editFinished()
    // A corner of the polygon was pressed, with Alt to remove it; dragged to a point
    // of the picture; or the whole polygon turned (from its corners at the press).
    signal vertexPressed(int vertex, bool remove)
    signal vertexMoved(int vertex, point at)
    signal rotated(var from, point start, point now)

    // True between editStarted() and editFinished().
    property bool editing: false
    // Asked on a left press on the box's body: true leaves the press to what lies
    // beneath, e.g. to draw a box inside this one.
    property var passesPress: function (mouse) { return false }
    // Asked on a left double click: false leaves it to mean pickRequested().
    property var takesDoubleClick: function (mouse) { return false }

    function startEdit() {
        if (!editing) {
            editing = true
            editStarted()
        }
    }

    function finishEdit() {
        if (editing) {
            editing = false
            editFinished()
        }
    }

    // A box that goes away in the middle of a drag still closes its edit.
    Component.onDestruction: finishEdit()

    QtObject {
        id: localProps
        property color color: control.selected ? control.bboxSelected : control.bboxColor
        property color selectedColor: "green"
    }

    color: selected && !isPolygon ? Qt.rgba(bboxColor.r, bboxColor.g, bboxColor.b, 0.3) : "transparent"
    border.width: isPolygon ? 0 : lineWidth
    border.color: localProps.color

    // A dark or light line on either side of the coloured one keeps it visible on any photo.
    Rectangle {
        anchors.fill: parent
        anchors.margins: -control.lineWidth / 2
        z: -1
        color: "transparent"
        border.width: control.lineWidth * 2
        border.color: Utils.contrastColor(localProps.color)
        opacity: 0.7
        visible: !control.isPolygon
    }

    Loader {
        id: shape
        readonly property real pad: control.lineWidth * 2
        anchors.fill: parent
        anchors.margins: -pad
        active: control.isPolygon
        sourceComponent: PolygonItem {
            objectName: "polygonShape"
            points: control.polygon
            pictureSize: Qt.size(control.xMax, control.yMax)
            origin: Qt.point((control.iCx - control.iCw / 2) * control.xMax - shape.pad,
                             (control.iCy - control.iCh / 2) * control.yMax - shape.pad)
            color: localProps.color
            fillOpacity: control.selected ? 0.35 : 0.2
            lineWidth: control.lineWidth
            zoom: control.zoom
        }
    }

    Loader {
        id: tag
        active: control.tagShown && control.tagText.length > 0
        // Worked out in the picture, where it has to stay; placed in the box.
        readonly property point at: item ? Utils.tagPosition(Qt.rect(control.x, control.y, control.width, control.height),
                                                              Qt.size(item.width / control.zoom, item.height / control.zoom),
                                                              Qt.size(control.xMax, control.yMax), control.lineWidth)
                                         : Qt.point(0, 0)
        x: at.x - control.x
        y: at.y - control.y
        z: 1
        sourceComponent: Rectangle {
            width: tagLabel.width + 6
            height: tagLabel.implicitHeight + 2
            scale: 1 / control.zoom
            transformOrigin: Item.TopLeft
            color: control.bboxColor

            Text {
                id: tagLabel
                objectName: "tagLabel"
                x: 3
                y: 1
                width: Math.min(implicitWidth, 160)
                elide: Text.ElideRight
                text: control.tagText
                color: Utils.contrastColor(control.bboxColor)
                font.pixelSize: 11
            }
        }
    }

    MouseArea {
        id: mouseDrag
        objectName: "mouseDrag"
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        drag.target: control
        drag.axis: Drag.XAndYAxis
        drag.threshold: 1
        // The box keeps the pointer where it grabbed it, threshold included.
        drag.smoothed: false
        drag.minimumX: 0
        drag.maximumX: control.xMax - control.width
        drag.minimumY: 0
        drag.maximumY: control.yMax - control.height

        onDoubleClicked: {
            if (mouse.button === Qt.LeftButton && !control.takesDoubleClick(mouse))
                control.pickRequested()
        }
        onPressed: {
            if (mouse.button === Qt.LeftButton && control.passesPress(mouse)) {
                mouse.accepted = false
            } else if (mouse.button === Qt.LeftButton) {
                control.pressed()
                control.startEdit()
            } else {
                ctxMnu.createObject(control).popup(mouse.x, mouse.y)
            }
        }
        // A drag ends after the release; the edit ends with whichever comes last.
        onReleased: {
            if (!drag.active)
                control.finishEdit()
        }
        onCanceled: {
            if (!drag.active)
                control.finishEdit()
        }
        drag.onActiveChanged: {
            if (!drag.active) {
                control.dimensionsChanged((control.x + control.width / 2) / control.xMax,
                                          (control.y + control.height / 2) / control.yMax,
                                          control.iCw, control.iCh)
                control.finishEdit()
            }
        }
    }

    // Made when asked for: a grid shows many boxes, and few of them ever get a menu.
    Component {
        id: ctxMnu
        Menu {
            objectName: "ctxMnu"
            onClosed: destroy()
            MenuItem {
                text: qsTr("Delete")
                onTriggered: control.deleteRequested()
            }
        }
    }

    // A square on the middle of one edge. Dragging it moves that edge with the
    // pointer, between the opposite edge and the border of the picture, while the
    // opposite edge stays put. The geometry is worked out from the pointer's place
    // in the picture, so it does not drift as the box changes under the pointer.
    component Handle: Rectangle {
        id: handle

        property int edge: Qt.LeftEdge
        property alias areaName: area.objectName
        readonly property bool horizontal: edge === Qt.LeftEdge || edge === Qt.RightEdge

        width: control.handleSize
        height: control.handleSize
        visible: control.selected
        color: area.containsMouse ? localProps.selectedColor : localProps.color

        MouseArea {
            id: area

            property real start: 0   // pointer at the press, in the picture
            property real grab: 0    // pointer minus edge at the press
            property real fixed: 0   // the opposite edge
            property real last: NaN  // the edge last reported
            property bool active: false

            anchors.fill: parent
            hoverEnabled: true

            function edgeAt(e) {
                switch (e) {
                case Qt.LeftEdge: return control.x
                case Qt.RightEdge: return control.x + control.width
                case Qt.TopEdge: return control.y
                default: return control.y + control.height
                }
            }

            onPressed: press(mouse)
            onReleased: {
                active = false
                control.finishEdit()
            }
            onCanceled: {
                active = false
                control.finishEdit()
            }
            onPositionChanged: move(mouse)

            function press(mouse) {
                var point = mapToItem(control.parent, mouse.x, mouse.y)
                start = handle.horizontal ? point.x : point.y
                grab = start - edgeAt(handle.edge)
                var opposite = {}
                opposite[Qt.LeftEdge] = Qt.RightEdge
                opposite[Qt.RightEdge] = Qt.LeftEdge
                opposite[Qt.TopEdge] = Qt.BottomEdge
                opposite[Qt.BottomEdge] = Qt.TopEdge
                fixed = edgeAt(opposite[handle.edge])
                last = NaN
                active = false
                control.startEdit()
            }

            function move(mouse) {
                if (!pressed)
                    return
                var point = mapToItem(control.parent, mouse.x, mouse.y)
                var pointer = handle.horizontal ? point.x : point.y
                if (!active && Math.abs(pointer - start) <= 1)
                    return
                active = true
                var limit = handle.horizontal ? control.xMax : control.yMax
                var lowSide = handle.edge === Qt.LeftEdge || handle.edge === Qt.TopEdge
                var e = lowSide ? Math.max(0, Math.min(pointer - grab, fixed))
                                  : Math.min(limit, Math.max(pointer - grab, fixed))
                if (e === last)
                    return
                last = e
                var lo = Math.min(e, fixed)
                var hi = Math.max(e, fixed)
                if (handle.horizontal)
                    control.dimensionsChanged((lo + hi) / 2 / limit, control.iCy, (hi - lo) / limit, control.iCh)
                else
                    control.dimensionsChanged(control.iCx, (lo + hi) / 2 / limit, control.iCw, (hi - lo) / limit)
            }
        }
    }

    // The handles exist only while the box is selected: a grid shows many boxes and
    // at most one of them is selected.
    Loader {
        anchors.fill: parent
        active: control.selected
        sourceComponent: control.isPolygon ? corners : edges
    }
    Component {
        id: corners
        PolygonHandles {
            box: control
        }
    }
    Component {
        id: edges
        Item {
            Handle {
                id: leftHandle
                objectName: "leftHandle"
                areaName: "mouseLeft"
                edge: Qt.LeftEdge
                anchors.left: parent.left
                anchors.leftMargin: -control.handleSize / 2
                anchors.verticalCenter: parent.verticalCenter
            }
            Handle {
                id: rightHandle
                objectName: "rightHandle"
                areaName: "mouseRight"
                edge: Qt.RightEdge
                anchors.right: parent.right
                anchors.rightMargin: -control.handleSize / 2
                anchors.verticalCenter: parent.verticalCenter
            }
            Handle {
                id: topHandle
                objectName: "topHandle"
                areaName: "mouseTop"
                edge: Qt.TopEdge
                anchors.top: parent.top
                anchors.topMargin: -control.handleSize / 2
                anchors.horizontalCenter: parent.horizontalCenter
            }
            Handle {
                id: bottomHandle
                objectName: "bottomHandle"
                areaName: "mouseBottom"
                edge: Qt.BottomEdge
                anchors.bottom: parent.bottom
                anchors.bottomMargin: -control.handleSize / 2
                anchors.horizontalCenter: parent.horizontalCenter
            }
        }
    }
}
