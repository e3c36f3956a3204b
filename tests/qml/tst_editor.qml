import QtQuick 2.15
import QtTest 1.15
import Boxmere 1.0

// Editing in the overlay with the keyboard and the mouse.
WindowFixture {
    name: "Editor"

    function test_addBox_data() {
        // The photo is 1.48 times as wide as high: a wide window leaves room beside it,
        // a tall one room above and below.
        return [
            { tag: "under the pointer", name: "a", width: 800, where: "inside", cx: 0.25, cy: 0.75 },
            { tag: "left of the picture", name: "a", width: 1200, where: "left", cx: 0, cy: 0.5 },
            { tag: "below the picture", name: "a", width: 800, where: "below", cx: 0.5, cy: 1 },
            { tag: "no picture", name: "d", width: 800, where: "inside" },
        ]
    }

    function test_addBox(data) {
        win.width = data.width
        win.height = data.width > 800 ? 500 : 700
        const c = open(data.name)
        const content = child("rcContent", c)
        const area = child("mouseFull", c)
        let p = content.mapToItem(area, 0.25 * content.width, 0.75 * content.height)
        if (data.where === "left")
            p = Qt.point(content.x / 2, content.y + content.height / 2)
        else if (data.where === "below")
            p = Qt.point(content.x + content.width / 2, area.height - 1)
        mouseMove(area, p.x, p.y)
        keyClick(Qt.Key_1)
        const box = child("box1", c)
        compare(!!box, data.name !== "d")
        compare(child("btnSave").enabled, !!box)
        if (!box)
            return
        fuzzyCompare(box.iCx, data.cx, 0.01)
        fuzzyCompare(box.iCy, data.cy, 0.01)
        verify(Qt.colorEqual(box.bboxColor, "blue"))
        compare(file("a"), "1 0.5 0.5 0.2 0.4")
    }

    function test_draw() {
        const c = open("a")
        const area = child("mouseFull", c)
        const content = child("rcContent", c)
        const a = pixel(c, 0.95, 0.95), b = pixel(c, 0.75, 0.8)
        drag(area, a, b)
        const W = content.width, H = content.height
        compare(boxes()[1], [1, (a.px.x + b.px.x) / 2 / W, (a.px.y + b.px.y) / 2 / H,
                             (a.px.x - b.px.x) / W, (a.px.y - b.px.y) / H])
        // A click draws nothing; a drag that ends beside the picture is clamped to it.
        mouseClick(area, a.x, a.y)
        compare(boxes().length, 2)
        drag(area, pixel(c, 0.3, 0.85), Qt.point(content.x + W * 0.7, area.height - 2))
        fuzzyCompare(boxes()[2][2] + boxes()[2][4] / 2, 1, 1e-12)
        // A click on the picture's background clears the selection, and the overlay stays.
        const box = select(c, 0)
        mouseClick(area, 2, 2)
        verify(!box.selected)
        verify(child("popControl").opened)
    }

    function test_keyboard() {
        const c = open("b")
        keyClick(Qt.Key_Delete) // nothing selected: nothing changes
        compare(boxes().length, 2)
        select(c, 0)
        // One pixel of the 500 by 375 photo, ten with Shift.
        keyClick(Qt.Key_Right)
        keyClick(Qt.Key_Down, Qt.ShiftModifier)
        compare(boxes()[0], [1, 0.25 + 1 / 500, 0.25 + 10 / 375, 0.1, 0.1])
        keyPress(Qt.Key_H)
        verify(!child("box0", c).visible && !child("box1", c).visible)
        keyRelease(Qt.Key_H)
        verify(child("box0", c).visible)
        keyClick(Qt.Key_Delete)
        compare(boxes(), [[2, 0.75, 0.75, 0.2, 0.2]])
        keySequence(StandardKey.Save)
        compare(file("b"), "2 0.75 0.75 0.2 0.2")
    }

    // A drag of a box or of a handle is one step to undo, however many moves it reports.
    function test_dragUndoRedo() {
        const c = open("a")
        const content = child("rcContent", c)
        const states = [boxes()]
        const box = select(c, 0)
        // A tenth of the picture to the right: whole pixels, give or take one.
        const start = box.mapToItem(content, 5, 5)
        drag(content, start, Qt.point(start.x + content.width / 10, start.y))
        fuzzyCompare(box.iCx, 0.6, 1.5 / content.width)
        compare(box.iCy, 0.5)
        states.push(boxes())
        const right = child("rightHandle", box)
        drag(right, Qt.point(right.width / 2, right.height / 2), Qt.point(right.width / 2 + 17, right.height / 2))
        states.push(boxes())
        for (const i of [1, 0]) {
            keySequence(StandardKey.Undo)
            compare(boxes(), states[i])
        }
        verify(!child("btnSave").enabled)
        for (const i of [1, 2]) {
            keySequence(StandardKey.Redo)
            compare(boxes(), states[i])
        }
        compare(file("a"), "1 0.5 0.5 0.2 0.4")
        mouseClick(child("btnSave"))
        compare(file("a").split(" ").map(Number), states[2][0])
        // Reset reads the file again and forgets the history.
        keySequence(StandardKey.Undo)
        mouseClick(child("btnReset"))
        compare(boxes(), states[2])
        keySequence(StandardKey.Redo)
        compare(boxes(), states[2])
    }

    function test_nextPrevious() {
        // Two neighbouring rows, the first with a picture and read whole.
        let row = 0
        while (nameAt(row) === "d" || nameAt(row) === "c" || row === 3)
            ++row
        const first = nameAt(row)
        const c = open(first)
        const saved = file(first)
        pointAt(c, 0.2, 0.2)
        keyClick(Qt.Key_1)
        keyClick(Qt.Key_D)
        compare(file(first).split("\n").length, saved.split("\n").length + 1)
        compare(stage().children.length, 1)
        compare(openCell().row, row + 1)
        verify(child("popControl").opened)
        for (const step of [[Qt.Key_A, row], [Qt.Key_PageDown, row + 1], [Qt.Key_PageUp, row]]) {
            keyClick(step[0])
            compare(openCell().row, step[1])
        }
        // A save that fails keeps the image open and says why, until it is closed.
        verify(testData.remove(base + "/labels"))
        keyClick(Qt.Key_1)
        keyClick(Qt.Key_D)
        compare(openCell().row, row)
        verify(child("lblSaveError").text.indexOf(first + ".txt") >= 0)
        mouseClick(child("btnClose"))
        compare(child("lblSaveError").text, "")
    }

    // Next and previous go through the rows shown, and save what they leave.
    function test_nextInFilteredGrid() {
        testData.writeFile(base + "/labels/a.txt", "2 0.5 0.5 0.2 0.4")
        load(base + "/images", base + "/labels", 4)
        ImageFilter.problemFilter = "unknown-class"
        compare(child("gridImages").count, 2)
        const first = nameAt(0), second = nameAt(1)
        open(first)
        keyClick(Qt.Key_1)
        keyClick(Qt.Key_D)
        verify(findText(openCell(), second))
        compare(file(first).split("\n").length, first === "a" ? 2 : 3)
        keyClick(Qt.Key_A)
        verify(findText(openCell(), first))
    }

    function test_zoom() {
        const c = open("a")
        const area = child("mouseFull", c)
        const content = child("rcContent", c)
        const box = select(c, 0)
        const rectOf = function (item) { return item.mapToItem(null, 0, 0, item.width, item.height) }
        const inPicture = function (r) {
            const pic = rectOf(content)
            return [(r.x - pic.x) / pic.width, (r.y - pic.y) / pic.height, r.width / pic.width, r.height / pic.height]
        }
        const before = inPicture(rectOf(box))
        const pointer = pixel(c, 0.3, 0.6)
        const under = content.mapFromItem(area, pointer.x, pointer.y)
        mouseWheel(area, pointer.x, pointer.y, 0, 120) // no Ctrl: no zoom
        compare(stage().zoom, 1)
        for (let i = 0; i < 3; ++i)
            mouseWheel(area, pointer.x, pointer.y, 0, 120, Qt.NoButton, Qt.ControlModifier)
        fuzzyCompare(stage().zoom, Math.pow(1.25, 3), 1e-9)
        compare(child("lblZoom").text, "195 %")
        // The picture point under the pointer stayed there, and the box on its pixels.
        const scene = area.mapToItem(null, pointer.x, pointer.y)
        const now = content.mapFromItem(null, scene.x, scene.y)
        fuzzyCompare(now.x, under.x, 1e-6)
        fuzzyCompare(now.y, under.y, 1e-6)
        const after = inPicture(rectOf(box))
        for (let i = 0; i < 4; ++i)
            fuzzyCompare(after[i], before[i], 1e-9)
        // Handles keep their size on screen.
        fuzzyCompare(rectOf(child("leftHandle", box)).width, 12, 1e-9)

        // A middle drag pans by the pointer's travel; so does a left drag with Space
        // held, even one that starts on a box.
        const x0 = rectOf(content).x
        const start = area.mapToItem(c, pointer.x, pointer.y)
        drag(c, start, Qt.point(start.x + 40, start.y), Qt.MiddleButton)
        fuzzyCompare(rectOf(content).x - x0, 40, 1.5)
        const x1 = rectOf(content).x
        const onBox = box.mapToItem(c, box.width / 2, box.height / 2)
        const boxBefore = boxes()
        keyPress(Qt.Key_Space)
        drag(c, onBox, Qt.point(onBox.x - 30, onBox.y))
        keyRelease(Qt.Key_Space)
        fuzzyCompare(rectOf(content).x - x1, -30, 1.5)
        compare(boxes(), boxBefore)
        verify(box.selected)

        keyClick(Qt.Key_F)
        compare([stage().zoom, stage().panX, stage().panY], [1, 0, 0])
        // Zooming out stops at the fitted picture.
        mouseWheel(area, pointer.x, pointer.y, 0, -600, Qt.NoButton, Qt.ControlModifier)
        compare(stage().zoom, 1)
    }

    function test_outlines() {
        const c = open("b")
        verify(!child("problemOutline", child("box0", c)))
        compare(child("problemOutline", child("box1", c)).text, "box 1: class not in the class list")
        // A new box on top of box 0 is a duplicate as soon as it is made.
        pointAt(c, 0.25, 0.25)
        keyClick(Qt.Key_1)
        tryVerify(function () { return child("problemOutline", child("box2", c)) })
        compare(child("problemOutline", child("box2", c)).text, "box 2: duplicate of box 0")
        compare(child("problemMark", c).text, "⚠ 2")
    }
}
