import QtQuick 2.15
import Boxmere 1.0

// The corners of a selected polygon as handles: a drag moves one, a click selects it
// (Delete then removes it), Alt+click removes it. A rectangle of four corners also
// gets a round handle beyond a side, which turns it about its centre.
Item {
    id: handles

    property Item box: null
    // The point of the picture at the box's top left corner, as the model has it.
    readonly property point origin: Qt.point((box.iCx - box.iCw / 2) * box.xMax, (box.iCy - box.iCh / 2) * box.yMax)

    // Reports a press, and then where in the picture the pointer is dragged once it
    // went past a pixel of it.
    component Handle: Rectangle {
        id: handle

        signal grabbed(point at, int modifiers)
        signal dragged(point at)
        readonly property bool hovered: area.containsMouse

        width: box.handleSize
        height: box.handleSize
        color: hovered ? "lime" : box.bboxSelected
        border.width: box.lineWidth
        border.color: Utils.contrastColor(color)

        MouseArea {
            id: area
            objectName: "handleArea"
            // A little larger than it looks: corners are small targets.
            anchors.fill: parent
            anchors.margins: -box.handleSize / 4
            hoverEnabled: true
            property point start
            property bool active: false

            onPressed: {
                start = mapToItem(box.parent, mouse.x, mouse.y)
                active = false
                handle.grabbed(start, mouse.modifiers)
            }
            onPositionChanged: {
                var now = mapToItem(box.parent, mouse.x, mouse.y)
                active = active || Math.max(Math.abs(now.x - start.x), Math.abs(now.y - start.y)) > 1
                if (pressed && active)
                    handle.dragged(now)
            }
            onReleased: box.finishEdit()
            onCanceled: box.finishEdit()
        }
    }

    Repeater {
        model: box.polygon.length / 2
        delegate: Handle {
            objectName: "vertex" + index
            x: box.polygon[2 * index] * box.xMax - handles.origin.x - width / 2
            y: box.polygon[2 * index + 1] * box.yMax - handles.origin.y - height / 2
            color: hovered || index === box.selectedVertex ? "lime" : box.bboxSelected
            onGrabbed: {
                const remove = (modifiers & Qt.AltModifier) !== 0
                box.vertexPressed(index, remove)
                if (!remove)
                    box.startEdit()
            }
            onDragged: box.vertexMoved(index, at)
        }
    }

    Handle {
        objectName: "rotationHandle"
        property var from: []
        property point start
        visible: box.rotationHandle !== null
        x: visible ? box.rotationHandle.x - handles.origin.x - width / 2 : 0
        y: visible ? box.rotationHandle.y - handles.origin.y - height / 2 : 0
        radius: width / 2
        onGrabbed: {
            from = box.polygon.slice()
            start = at
            box.startEdit()
        }
        onDragged: box.rotated(from, start, at)
    }
}
