import QtQuick 2.15
import QtTest 1.15
import Boxmere 1.0

// Polygons in the grid and the editor: a holds only polygons, a triangle (0.2, 0.2),
// (0.6, 0.2), (0.4, 0.8) and a rectangle.
WindowFixture {
    name: "Polygon"

    function polygons() {
        testData.writeFile(labels + "a.txt", "1 0.2 0.2 0.6 0.2 0.4 0.8\n1 0.7 0.1 0.9 0.1 0.9 0.3 0.7 0.3")
        load(base + "/images", base + "/labels", 4)
    }

    function points(row) {
        const model = EditSession.boxes
        return model.data(model.index(row, 0), 5)
    }

    // A click inside the triangle selects it, one in its bounding box beside it does not.
    function test_select() {
        polygons()
        const c = open("a"), area = child("mouseFull", c), inside = pixel(c, 0.4, 0.5), beside = pixel(c, 0.25, 0.7)
        mouseClick(area, inside.x, inside.y)
        compare(EditSession.selected, 0)
        mouseClick(area, beside.x, beside.y)
        compare(EditSession.selected, -1)
    }

    // A corner follows the pointer, one step to undo; a double click on a side adds one.
    function test_corners() {
        polygons()
        const c = open("a"), area = child("mouseFull", c), content = child("rcContent", c), inside = pixel(c, 0.4, 0.5)
        mouseClick(area, inside.x, inside.y)
        const to = pixel(c, 0.7, 0.5)
        drag(area, pixel(c, 0.6, 0.2), to)
        fuzzyCompare(points(0)[2], to.px.x / content.width, 1e-9)
        fuzzyCompare(points(0)[3], to.px.y / content.height, 1e-9)
        keySequence(StandardKey.Undo)
        compare(points(0), [0.2, 0.2, 0.6, 0.2, 0.4, 0.8])
        const side = pixel(c, 0.4, 0.2)
        mouseDoubleClickSequence(area, side.x, side.y)
        compare(points(0).length, 8)
        fuzzyCompare(points(0)[2], 0.4, 0.01)
        verify(!child("classPicker").opened)
    }

    // P draws a polygon click by click, Enter closes it, Esc drops one; a box drawn in
    // this file of polygons asks, and comes as four corners.
    function test_draw() {
        polygons()
        const c = open("a"), area = child("mouseFull", c)
        for (const cancel of [false, true]) {
            keyClick(Qt.Key_P)
            verify(child("lblDrawing").visible)
            for (const at of [[0.1, 0.9], [0.3, 0.9], [0.2, 0.95]]) {
                const p = pixel(c, at[0], at[1])
                mouseClick(area, p.x, p.y)
            }
            keyClick(cancel ? Qt.Key_Escape : Qt.Key_Return)
            verify(!EditSession.drawingPolygon && EditSession.row >= 0)
            compare(EditSession.boxes.rowCount(), 3)
        }
        compare(points(2).length, 6)
        drag(area, pixel(c, 0.05, 0.05), pixel(c, 0.15, 0.15))
        const dialog = child("dlgBoxAsPolygon")
        tryVerify(function () { return dialog.opened })
        mouseClick(child("btnConfirm", dialog))
        compare(points(3).length, 8)
    }

    // B shows polygons as their bounding boxes, in the grid and in the editor; a text
    // field still takes it as a letter.
    function test_toggle() {
        polygons()
        for (const editing of [false, true]) {
            const c = editing ? open("a") : cell("a")
            verify(child("polygonShape", child("box0", c)))
            keyClick(Qt.Key_B)
            verify(!child("polygonShape", child("box0", c)))
            keyClick(Qt.Key_B)
            verify(child("polygonShape", child("box0", c)))
        }
        EditSession.close()
        const filter = child("txtNameFilter")
        filter.forceActiveFocus()
        keyClick(Qt.Key_B)
        compare([filter.text, child("ctxItems").polygonsAsBoxes], ["b", false])
    }
}
