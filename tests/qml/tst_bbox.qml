import QtQuick 2.15
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
        tagText: "person"

        onDimensionsChanged: {
            picture.cx = newCx
            picture.cy = newCy
            picture.cw = newCw
            picture.ch = newCh
            x = Qt.binding(function () { return picture.cx * picture.width - width / 2 })
            y = Qt.binding(function () { return picture.cy * picture.height - height / 2 })
        }
    }

    SignalSpy { id: dimensionsSpy; target: box; signalName: "dimensionsChanged" }
    SignalSpy { id: startedSpy; target: box; signalName: "editStarted" }
    SignalSpy { id: finishedSpy; target: box; signalName: "editFinished" }
    SignalSpy { id: deleteSpy; target: box; signalName: "deleteRequested" }

    TestCase {
        name: "BBox"
        when: windowShown

        function init() {
            picture.cx = picture.cy = 0.5
            picture.cw = 0.2
            picture.ch = 0.4
            box.selected = true
            box.enabled = true
            box.tagShown = false
            for (const spy of [dimensionsSpy, startedSpy, finishedSpy, deleteSpy])
                spy.clear()
        }

        // Drags from the middle of item by (dx, dy), in steps taken in the picture's
        // coordinates, which do not move with the item.
        function drag(item, dx, dy) {
            const p = item.mapToItem(picture, item.width / 2, item.height / 2)
            mousePress(picture, p.x, p.y)
            for (let i = 1; i <= 5; ++i)
                mouseMove(picture, p.x + dx * i / 5, p.y + dy * i / 5)
            mouseRelease(picture, p.x + dx, p.y + dy)
        }

        function test_drag_data() {
            // The box spans x 80..120 and y 30..70; r is where it ends: x, y, width, height.
            return [
                { tag: "box inside", dx: 30, dy: -10, r: [110, 20, 40, 40] },
                { tag: "box past the right border", dx: 150, dy: 0, r: [160, 30, 40, 40] },
                { tag: "box past the top left corner", dx: -150, dy: -150, r: [0, 0, 40, 40] },
                { tag: "left outwards", handle: "leftHandle", dx: -30, dy: 0, r: [50, 30, 70, 40] },
                { tag: "left onto the right edge", handle: "leftHandle", dx: 100, dy: 0, r: [120, 30, 0, 40] },
                { tag: "left past the picture", handle: "leftHandle", dx: -150, dy: 0, r: [0, 30, 120, 40] },
                { tag: "right outwards", handle: "rightHandle", dx: 50, dy: 0, r: [80, 30, 90, 40] },
                { tag: "right past the picture", handle: "rightHandle", dx: 150, dy: 0, r: [80, 30, 120, 40] },
                { tag: "right onto the left edge", handle: "rightHandle", dx: -100, dy: 0, r: [80, 30, 0, 40] },
                { tag: "top up", handle: "topHandle", dx: 0, dy: -20, r: [80, 10, 40, 60] },
                { tag: "top past the picture", handle: "topHandle", dx: 0, dy: -80, r: [80, 0, 40, 70] },
                { tag: "top onto the bottom", handle: "topHandle", dx: 0, dy: 80, r: [80, 70, 40, 0] },
                { tag: "bottom down", handle: "bottomHandle", dx: 0, dy: 20, r: [80, 30, 40, 60] },
                { tag: "bottom past the picture", handle: "bottomHandle", dx: 0, dy: 80, r: [80, 30, 40, 70] },
                { tag: "bottom onto the top", handle: "bottomHandle", dx: 0, dy: -80, r: [80, 30, 40, 0] },
            ]
        }

        function test_drag(data) {
            drag(data.handle ? findChild(box, data.handle) : box, data.dx, data.dy)
            // One edit, however many reports: one step to undo.
            compare([startedSpy.count, finishedSpy.count], [1, 1])
            const r = data.r, last = dimensionsSpy.signalArguments[dimensionsSpy.count - 1]
            const expected = [(r[0] + r[2] / 2) / 200, (r[1] + r[3] / 2) / 100, r[2] / 200, r[3] / 100]
            for (let i = 0; i < 4; ++i)
                fuzzyCompare(last[i], expected[i], 1e-9)
            compare([box.x, box.y, box.width, box.height].map(Math.round), r)
        }

        function test_menu_data() {
            return [ { tag: "disabled, as in the grid", enabled: false }, { tag: "enabled", enabled: true } ]
        }

        // A right click offers Delete; a disabled box neither offers it nor moves.
        function test_menu(data) {
            box.enabled = data.enabled
            mouseClick(box, 10, 10, Qt.RightButton)
            const menu = findChild(box, "ctxMnu")
            compare(!!menu, data.enabled)
            if (menu)
                mouseClick(menu.itemAt(0))
            compare(deleteSpy.count, data.enabled ? 1 : 0)
            drag(findChild(box, "rightHandle"), 30, 0)
            drag(box, 30, 10)
            compare(dimensionsSpy.count > 0, data.enabled)
        }

        // The tag sits on the top edge, outside the line; without room above it goes just
        // inside, and at the right edge it moves left: always inside the picture.
        function test_tag_data() {
            return [
                { tag: "room above", geometry: [0.5, 0.5, 0.2, 0.4], x: "box", y: "above" },
                { tag: "at the top", geometry: [0.5, 0.2, 0.2, 0.4], x: "box", y: "inside" },
                { tag: "at the right edge", geometry: [0.95, 0.5, 0.1, 0.4], x: "right", y: "above" },
                { tag: "past the top left corner", geometry: [0.05, 0.1, 0.2, 0.4], x: "zero", y: "zero" },
            ]
        }

        function test_tag(data) {
            picture.cx = data.geometry[0]
            picture.cy = data.geometry[1]
            picture.cw = data.geometry[2]
            picture.ch = data.geometry[3]
            box.tagShown = true
            const label = findChild(box, "tagLabel"), tag = label.parent
            const at = tag.mapToItem(picture, 0, 0)
            const x = { box: box.x, right: picture.width - tag.width, zero: 0 }
            const y = { above: box.y - tag.height, inside: box.y + box.lineWidth, zero: 0 }
            compare([at.x, at.y], [x[data.x], y[data.y]])
        }
    }
}
