import QtQuick 2.15
import QtQuick.Window 2.15
import QtTest 1.15
import "qrc:/"

// The box item alone, on a 200 by 100 picture, with an owner that writes every
// reported geometry back at once, as the main window does.
Item {
    id: picture
    width: 200
    height: 100

    property real cx: 0.5
    property real cy: 0.5
    property real cw: 0.2
    property real ch: 0.4

    BBox {
        id: box
        x: picture.cx * picture.width - width / 2
        y: picture.cy * picture.height - height / 2
        width: picture.cw * picture.width
        height: picture.ch * picture.height
        iCx: picture.cx
        iCy: picture.cy
        iCw: picture.cw
        iCh: picture.ch
        xMax: picture.width
        yMax: picture.height
        bboxColor: "blue"

        onDimensionsChanged: {
            picture.cx = newCx
            picture.cy = newCy
            picture.cw = newCw
            picture.ch = newCh
            x = Qt.binding(function () { return picture.cx * picture.width - width / 2 })
            y = Qt.binding(function () { return picture.cy * picture.height - height / 2 })
        }
    }

    SignalSpy { id: pressedSpy; target: box; signalName: "pressed" }
    SignalSpy { id: dimensionsSpy; target: box; signalName: "dimensionsChanged" }
    SignalSpy { id: deleteSpy; target: box; signalName: "deleteRequested" }

    TestCase {
        name: "BBox"
        when: windowShown

        function init() {
            picture.cx = 0.5
            picture.cy = 0.5
            picture.cw = 0.2
            picture.ch = 0.4
            box.selected = false
            box.enabled = true
            pressedSpy.clear()
            dimensionsSpy.clear()
            deleteSpy.clear()
        }

        function handle(name) {
            return findChild(box, name)
        }

        // Drags with the pointer from (x, y) of item by (dx, dy), in steps taken in
        // the picture's coordinates, which do not move with the item.
        function drag(item, x, y, dx, dy) {
            const p = item.mapToItem(picture, x, y)
            mousePress(picture, p.x, p.y)
            for (let i = 1; i <= 5; ++i)
                mouseMove(picture, p.x + dx * i / 5, p.y + dy * i / 5)
            mouseRelease(picture, p.x + dx, p.y + dy)
        }

        function test_drag_data() {
            // The box spans x 80..120 and y 30..70 of the 200 by 100 picture.
            return [
                { tag: "inside", dx: 30, dy: -10, cx: 0.65, cy: 0.4 },
                { tag: "past the right border", dx: 150, dy: 0, cx: 0.9, cy: 0.5 },
                { tag: "past the top left corner", dx: -150, dy: -150, cx: 0.1, cy: 0.2 },
            ]
        }

        function test_drag(data) {
            drag(box, 20, 20, data.dx, data.dy)
            compare(pressedSpy.count, 1)
            compare(dimensionsSpy.count, 1)
            const args = dimensionsSpy.signalArguments[0]
            fuzzyCompare(args[0], data.cx, 1e-9)
            fuzzyCompare(args[1], data.cy, 1e-9)
            compare(args[2], 0.2)
            compare(args[3], 0.4)
            fuzzyCompare(box.x, data.cx * 200 - 20, 1e-6)
        }

        function test_handleDrag_data() {
            // Edges before: left 80, right 120, top 30, bottom 70.
            return [
                { tag: "left outwards", name: "leftHandle", dx: -30, dy: 0, geometry: [50, 30, 70, 40] },
                { tag: "left onto the right edge", name: "leftHandle", dx: 100, dy: 0, geometry: [120, 30, 0, 40] },
                { tag: "left past the picture", name: "leftHandle", dx: -150, dy: 0, geometry: [0, 30, 120, 40] },
                { tag: "right outwards", name: "rightHandle", dx: 50, dy: 0, geometry: [80, 30, 90, 40] },
                { tag: "right past the picture", name: "rightHandle", dx: 150, dy: 0, geometry: [80, 30, 120, 40] },
                { tag: "right onto the left edge", name: "rightHandle", dx: -100, dy: 0, geometry: [80, 30, 0, 40] },
                { tag: "top up", name: "topHandle", dx: 0, dy: -20, geometry: [80, 10, 40, 60] },
                { tag: "top past the picture", name: "topHandle", dx: 0, dy: -80, geometry: [80, 0, 40, 70] },
                { tag: "top onto the bottom", name: "topHandle", dx: 0, dy: 80, geometry: [80, 70, 40, 0] },
                { tag: "bottom down", name: "bottomHandle", dx: 0, dy: 20, geometry: [80, 30, 40, 60] },
                { tag: "bottom past the picture", name: "bottomHandle", dx: 0, dy: 80, geometry: [80, 30, 40, 70] },
                { tag: "bottom onto the top", name: "bottomHandle", dx: 0, dy: -80, geometry: [80, 30, 40, 0] },
            ]
        }

        function test_handleDrag(data) {
            box.selected = true
            const h = handle(data.name)
            drag(h, h.width / 2, h.height / 2, data.dx, data.dy)
            verify(dimensionsSpy.count > 0)
            // The owner wrote every report back, so the box shows the last one.
            fuzzyCompare(box.x, data.geometry[0], 1e-6)
            fuzzyCompare(box.y, data.geometry[1], 1e-6)
            fuzzyCompare(box.width, data.geometry[2], 1e-6)
            fuzzyCompare(box.height, data.geometry[3], 1e-6)
            // The handle is back on its edge.
            const l = handle("leftHandle")
            compare(l.x + l.width / 2, 0)
            compare(handle("bottomHandle").y + handle("bottomHandle").height / 2, box.height)
        }

        function test_contextMenu() {
            mouseClick(box, 10, 10, Qt.RightButton)
            compare(pressedSpy.count, 0)
            verify(!box.selected)
            const deleteItem = findMenuItem()
            verify(deleteItem)
            mouseClick(deleteItem)
            compare(deleteSpy.count, 1)
        }

        // The menu's item sits in the window's popup layer.
        function findMenuItem(item) {
            item = item || box.Window.window.contentItem
            if (item.text === "Delete" && item.visible)
                return item
            for (let i = 0; i < item.children.length; ++i) {
                const found = findMenuItem(item.children[i])
                if (found)
                    return found
            }
            return null
        }

        function test_disabled() {
            box.enabled = false
            box.selected = true
            drag(box, 20, 20, 30, 10)
            mouseClick(box, 10, 10, Qt.RightButton)
            const h = handle("rightHandle")
            mouseMove(h, h.width / 2, h.height / 2)
            wait(50)
            verify(Qt.colorEqual(h.color, "red"))
            drag(h, h.width / 2, h.height / 2, 30, 0)
            compare(pressedSpy.count, 0)
            compare(dimensionsSpy.count, 0)
            compare(box.x, 80)
            compare(box.width, 40)
            verify(!findMenuItem())
        }
    }
}
