import QtQuick 2.15
import QtQuick.Window 2.15
import QtTest 1.15
import Boxmere 1.0

// Editing in the overlay from the keyboard and the mouse, on the folder pair of
// real photos that the test data helper makes: a (500 by 338), b (500 by 375)
// and c with their label files, and d whose picture is missing. One window for
// every test, with a second category "Car" (2) beside "People" (1).
TestCase {
    name: "Editing"
    when: windowShown

    property var win: null
    property string base: ""

    function initTestCase() {
        const component = Qt.createComponent("qrc:/main.qml")
        compare(component.status, Component.Ready, component.errorString())
        win = component.createObject(null)
    }

    function init() {
        base = testData.makeFolderPair()
        verify(base.length > 0, "the photos of labelme-examples are installed")
        win.width = 800
        win.height = 700
        win.show()
        child("sldCols").value = 4
        child("popControl").pickedCategory = undefined
        win.requestActivate()
        tryVerify(function () { return win.active })
        child("txtImgsFolder").text = base + "/images"
        child("txtRectFolder").text = base + "/labels"
        mouseClick(child("btnLoad"))
        tryVerify(function () { return !DatasetLoader.busy })
        compare(child("gridImages").count, 4)
        // A load sets the categories from its class file; this folder has none.
        child("rptCategories").model.append({ catId: 2, catName: "Car", catShortcut: "2", catColor: "green" })
    }

    function cleanup() {
        const items = child("ctxItems")
        if (items.children.length > 0)
            items.children[0].state = "multiple"
        tryVerify(function () { return !child("popControl").visible })
        ImageList.loadYolo(base + "/nowhere", base + "/nowhere")
    }

    function child(name, parent) {
        return findChild(parent || win, name)
    }

    function rowOf(name) {
        for (let row = 0; row < ImageList.rowCount(); ++row) {
            if (ImageList.filePathAt(row).endsWith("/" + name + ".jpg"))
                return row
        }
        return -1
    }

    function nameAt(row) {
        const path = ImageList.filePathAt(row)
        return path.substring(path.lastIndexOf("/") + 1, path.length - 4)
    }

    function open(name) {
        const row = rowOf(name)
        const grid = child("gridImages")
        grid.positionViewAtIndex(row, GridView.Contain)
        const c = child("cell" + row, grid.itemAtIndex(row))
        const image = child("image", c)
        tryVerify(function () { return image.status === Image.Ready || name === "d" }, 5000)
        mouseClick(c)
        compare(c.state, "single")
        tryVerify(function () { return child("popControl").opened })
        tryVerify(function () { return image.status === Image.Ready && image.paintedWidth > 100 || name === "d" }, 5000)
        return c
    }

    function openCell() {
        return child("popControl").cell
    }

    function file(name) {
        return testData.readFile(base + "/labels/" + name + ".txt")
    }

    // The boxes of the open image as the list holds them: [catId, cx, cy, cw, ch] per row.
    function boxes(c) {
        const model = child("rptBoxes", c).model
        const rows = []
        for (let r = 0; r < model.rowCount(); ++r) {
            const row = []
            for (let role = 0; role < 5; ++role)
                row.push(model.data(model.index(r, 0), role))
            rows.push(row)
        }
        return rows
    }

    // A point of the picture at whole window pixels, as mouse events carry them:
    // its position in mouseFull and in the picture.
    function pixel(c, fx, fy) {
        const area = child("mouseFull", c)
        const content = child("rcContent", c)
        const scene = content.mapToItem(null, fx * content.width, fy * content.height)
        const local = area.mapFromItem(null, Math.round(scene.x), Math.round(scene.y))
        return { x: local.x, y: local.y, px: content.mapFromItem(area, local.x, local.y) }
    }

    function drag(item, from, to, button, modifiers) {
        mousePress(item, from.x, from.y, button || Qt.LeftButton, modifiers || Qt.NoModifier)
        for (let i = 1; i <= 5; ++i)
            mouseMove(item, from.x + (to.x - from.x) * i / 5, from.y + (to.y - from.y) * i / 5, -1,
                      button || Qt.LeftButton)
        mouseRelease(item, to.x, to.y, button || Qt.LeftButton, modifiers || Qt.NoModifier)
    }

    function select(c, row) {
        const box = child("box" + row, c)
        mouseClick(box, box.width / 2, box.height / 2)
        verify(box.selected)
        return box
    }

    function test_draw_data() {
        return [
            { tag: "first category", swatch: -1, catId: 1, from: [0.2, 0.3], to: [0.6, 0.5] },
            { tag: "picked category, drawn backwards", swatch: 1, catId: 2, from: [0.7, 0.9], to: [0.1, 0.4] },
        ]
    }

    function test_draw(data) {
        const c = open("a")
        if (data.swatch >= 0)
            mouseClick(child("rptCategories").itemAt(data.swatch))
        const area = child("mouseFull", c)
        const content = child("rcContent", c)
        const a = pixel(c, data.from[0], data.from[1])
        const b = pixel(c, data.to[0], data.to[1])
        drag(area, a, b)
        const W = content.width, H = content.height
        const x0 = Math.min(a.px.x, b.px.x), x1 = Math.max(a.px.x, b.px.x)
        const y0 = Math.min(a.px.y, b.px.y), y1 = Math.max(a.px.y, b.px.y)
        compare(boxes(c), [[1, 0.5, 0.5, 0.2, 0.4],
                           [data.catId, (x0 + x1) / 2 / W, (y0 + y1) / 2 / H, (x1 - x0) / W, (y1 - y0) / H]])
        verify(child("btnSave").enabled)

        // A click without a drag draws nothing.
        mouseClick(area, a.x, a.y)
        compare(boxes(c).length, 2)

        // A drag that starts beside the picture is clamped to it.
        const outside = Qt.point(content.x + content.width * 0.7, area.height - 2)
        verify(outside.y > content.y + content.height)
        drag(area, pixel(c, 0.9, 0.85), outside)
        const last = boxes(c)[2]
        fuzzyCompare(last[2] + last[4] / 2, 1, 1e-12)
    }

    function test_relabel() {
        const c = open("b")
        const before = boxes(c)
        keyClick(Qt.Key_2, Qt.ControlModifier) // nothing selected: nothing changes
        compare(boxes(c), before)
        select(c, 0)
        keyClick(Qt.Key_2, Qt.ControlModifier)
        compare(boxes(c), [[2].concat(before[0].slice(1)), before[1]])
        verify(Qt.colorEqual(child("box0", c).bboxColor, "green"))
        keySequence(StandardKey.Save)
        compare(file("b"), "2 0.25 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2")
    }

    function test_keyboard() {
        const c = open("b")
        select(c, 0)
        // One pixel of the 500 by 375 photo, ten with Shift.
        keyClick(Qt.Key_Right)
        keyClick(Qt.Key_Down, Qt.ShiftModifier)
        compare(boxes(c)[0], [1, 0.25 + 1 / 500, 0.25 + 10 / 375, 0.1, 0.1])
        // Not past the picture's border.
        for (let i = 0; i < 30; ++i)
            keyClick(Qt.Key_Left, Qt.ShiftModifier)
        compare(boxes(c)[0][1], 0.05)

        keyPress(Qt.Key_H)
        verify(!child("box0", c).visible && !child("box1", c).visible)
        keyRelease(Qt.Key_H)
        verify(child("box0", c).visible && child("box1", c).visible)

        keyClick(Qt.Key_Delete)
        compare(boxes(c), [[2, 0.75, 0.75, 0.2, 0.2]])
        keyClick(Qt.Key_Delete) // nothing selected any more
        compare(boxes(c).length, 1)
    }

    function test_undoRedo() {
        const c = open("a")
        const states = [boxes(c)]
        const area = child("mouseFull", c)
        const content = child("rcContent", c)
        const note = function () { states.push(boxes(c)) }

        // Add, draw, move, resize, relabel, delete.
        const p = pixel(c, 0.2, 0.2)
        mouseMove(area, p.x, p.y)
        keyClick(Qt.Key_1)
        note()
        drag(area, pixel(c, 0.6, 0.6), pixel(c, 0.9, 0.8))
        note()
        const box0 = select(c, 0)
        drag(box0, Qt.point(box0.width / 2, box0.height / 2), Qt.point(box0.width / 2 + 23, box0.height / 2 - 11))
        note()
        const right = child("rightHandle", box0)
        drag(right, Qt.point(right.width / 2, right.height / 2), Qt.point(right.width / 2 + 17, right.height / 2))
        note()
        keyClick(Qt.Key_2, Qt.ControlModifier)
        note()
        select(c, 1)
        keyClick(Qt.Key_Delete)
        note()
        compare(states.length, 7)
        for (let i = 1; i < states.length; ++i)
            verify(JSON.stringify(states[i]) !== JSON.stringify(states[i - 1]), "edit " + i + " changed something")

        for (let i = 5; i >= 0; --i) {
            keySequence(StandardKey.Undo)
            compare(boxes(c), states[i], "undo to state " + i)
        }
        keySequence(StandardKey.Undo) // back at the opening state: nothing more to undo
        compare(boxes(c), states[0])
        // The file holds that state already.
        verify(!child("btnSave").enabled)
        compare(ImageList.unsavedRows().length, 0)
        for (let i = 1; i <= 6; ++i) {
            keySequence(StandardKey.Redo)
            compare(boxes(c), states[i], "redo to state " + i)
        }
        verify(child("btnSave").enabled)

        // Reset forgets the history.
        mouseClick(child("btnReset"))
        compare(boxes(c), states[0])
        keySequence(StandardKey.Redo)
        keySequence(StandardKey.Undo)
        compare(boxes(c), states[0])
    }

    function test_nextPrevious() {
        // Two neighbouring rows, the first with a picture and read whole, whatever
        // order the folder listed them in.
        let row = 0
        while (nameAt(row) === "d" || nameAt(row) === "c" || row === 3)
            ++row
        const first = nameAt(row), second = nameAt(row + 1)
        let c = open(first)
        const saved = file(first)
        const p = pixel(c, 0.2, 0.2)
        mouseMove(child("mouseFull", c), p.x, p.y)
        keyClick(Qt.Key_1)
        keyClick(Qt.Key_D)
        compare(file(first).split("\n").length, saved.split("\n").length + 1)
        compare(openCell().row, row + 1)
        verify(child("popControl").opened)
        compare(child("ctxItems").children.length, 1)
        compare(openCell().state, "single")

        keyClick(Qt.Key_A)
        compare(openCell().row, row)
        keyClick(Qt.Key_PageDown)
        compare(openCell().row, row + 1)
        keyClick(Qt.Key_PageUp)
        compare(openCell().row, row)

        // A save that fails keeps the image open and says why.
        verify(testData.remove(base + "/labels"))
        keyClick(Qt.Key_1)
        keyClick(Qt.Key_D)
        compare(openCell().row, row)
        verify(child("lblSaveError").text.indexOf(first + ".txt") >= 0)
    }

    // c.txt holds a score after the five fields, which a save would drop.
    function test_nextKeepsLinesNotReadWhole() {
        const row = rowOf("c")
        let c = open("c")
        const saved = file("c")
        const p = pixel(c, 0.2, 0.2)
        mouseMove(child("mouseFull", c), p.x, p.y)
        keyClick(Qt.Key_1)
        keyClick(row === 3 ? Qt.Key_A : Qt.Key_D)
        compare(openCell().row, row)
        compare(file("c"), saved)
        compare(child("lblSaveError").text, "c.txt holds lines that saving would drop: Save or Reset first")
        // Saved by hand, the file holds what the list holds; edits after that go along.
        mouseClick(child("btnSave"))
        compare(file("c").split("\n").length, 2)
        keyClick(Qt.Key_1)
        keyClick(row === 3 ? Qt.Key_A : Qt.Key_D)
        verify(openCell().row !== row)
        compare(file("c").split("\n").length, 3)
    }

    function test_nextPreviousAtTheEnds() {
        open(nameAt(0))
        keyClick(Qt.Key_A)
        compare(openCell().row, 0)
        for (let i = 1; i < 4; ++i) {
            keyClick(Qt.Key_D)
            compare(openCell().row, i)
        }
        keyClick(Qt.Key_D)
        compare(openCell().row, 3)
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
        compare(c.zoom, 1)
        for (let i = 0; i < 3; ++i)
            mouseWheel(area, pointer.x, pointer.y, 0, 120, Qt.NoButton, Qt.ControlModifier)
        fuzzyCompare(c.zoom, Math.pow(1.25, 3), 1e-9)
        // The picture point under the pointer stayed there, and the box on its pixels.
        const scene = area.mapToItem(null, pointer.x, pointer.y)
        const now = content.mapFromItem(null, scene.x, scene.y)
        fuzzyCompare(now.x, under.x, 1e-6)
        fuzzyCompare(now.y, under.y, 1e-6)
        const after = inPicture(rectOf(box))
        for (let i = 0; i < 4; ++i)
            fuzzyCompare(after[i], before[i], 1e-9)
        fuzzyCompare(rectOf(box).width, before[2] * content.width * c.zoom, 1e-6)
        // Handles keep their size on screen.
        fuzzyCompare(rectOf(child("leftHandle", box)).width, 12, 1e-9)

        // A middle drag pans by the pointer's travel.
        const x0 = rectOf(content).x
        const start = area.mapToItem(c, pointer.x, pointer.y)
        drag(c, start, Qt.point(start.x + 40, start.y), Qt.MiddleButton)
        fuzzyCompare(rectOf(content).x - x0, 40, 1.5)
        verify(box.selected)

        // So does a left drag with Space held, even one that starts on a box.
        const x1 = rectOf(content).x
        const onBox = box.mapToItem(c, box.width / 2, box.height / 2)
        const boxBefore = boxes(c)
        keyPress(Qt.Key_Space)
        drag(c, onBox, Qt.point(onBox.x - 30, onBox.y))
        keyRelease(Qt.Key_Space)
        fuzzyCompare(rectOf(content).x - x1, -30, 1.5)
        compare(boxes(c), boxBefore)

        keyClick(Qt.Key_F)
        compare(c.zoom, 1)
        compare(c.panX, 0)
        // Zooming out stops at the fitted picture.
        mouseWheel(area, pointer.x, pointer.y, 0, -600, Qt.NoButton, Qt.ControlModifier)
        compare(c.zoom, 1)
    }

    function test_wheelInTheGridScrolls() {
        child("sldCols").value = 1
        const grid = child("gridImages")
        tryCompare(grid, "contentHeight", 4 * grid.cellHeight)
        const c = child("cell" + 0, grid.itemAtIndex(0))
        mouseWheel(c, c.width / 2, c.height / 2, 0, -120, Qt.NoButton, Qt.ControlModifier)
        mouseWheel(c, c.width / 2, c.height / 2, 0, -120)
        tryVerify(function () { return grid.contentY > 0 })
        compare(c.zoom, 1)
    }

    function test_unsavedEditsOutliveTheCell() {
        const row = nameAt(0) === "d" ? 1 : 0
        let c = open(nameAt(row))
        keyClick(Qt.Key_1)
        keyClick(Qt.Key_Escape)
        verify(c.ableToSave)
        child("sldCols").value = 1
        const grid = child("gridImages")
        tryVerify(function () {
            grid.positionViewAtIndex(3, GridView.End)
            return !grid.itemAtIndex(row)
        })
        grid.positionViewAtIndex(row, GridView.Beginning)
        tryVerify(function () { return grid.itemAtIndex(row) })
        verify(child("cell" + row, grid.itemAtIndex(row)).ableToSave)
    }

    function test_keyList() {
        open("a")
        const list = child("keyList")
        verify(!list.visible)
        keyClick(Qt.Key_Question)
        tryVerify(function () { return list.opened })
        keyClick(Qt.Key_Question)
        tryVerify(function () { return !list.visible })
    }

    function test_quitPrompt_data() {
        return [
            { tag: "Save all", button: "btnSaveAll", saved: true },
            { tag: "Discard", button: "btnDiscard", saved: false },
        ]
    }

    function test_quitPrompt(data) {
        // Nothing changed: the window closes at once.
        const prompt = child("dlgQuit")
        win.close()
        verify(!prompt.opened)
        verify(!win.visible)
        win.show()

        const row = nameAt(0) === "d" ? 1 : 0
        const name = nameAt(row)
        const saved = file(name)
        let c = open(name)
        const p = pixel(c, 0.2, 0.2)
        mouseMove(child("mouseFull", c), p.x, p.y)
        keyClick(Qt.Key_1)
        keyClick(Qt.Key_Escape)
        // The cell goes out of view, and with it the flag it kept.
        child("sldCols").value = 1
        tryVerify(function () {
            child("gridImages").positionViewAtIndex(3, GridView.End)
            return !child("gridImages").itemAtIndex(row)
        })

        win.close()
        tryVerify(function () { return prompt.opened })
        verify(win.visible)
        mouseClick(child("btnCancel"))
        tryVerify(function () { return !prompt.visible })
        verify(win.visible)

        win.close()
        tryVerify(function () { return prompt.opened })
        mouseClick(child(data.button))
        tryVerify(function () { return !win.visible })
        if (data.saved)
            compare(file(name).split("\n").length, saved.split("\n").length + 1)
        else
            compare(file(name), saved)
        compare(ImageList.unsavedRows().length, data.saved ? 0 : 1)
    }

    // A load would replace the rows, and with them edits never saved.
    function test_loadPrompt() {
        const c = open("a")
        const saved = file("a")
        keyClick(Qt.Key_1)
        keyClick(Qt.Key_Escape)
        tryVerify(function () { return !child("popControl").visible })
        const prompt = child("dlgQuit")
        mouseClick(child("btnLoad"))
        tryVerify(function () { return prompt.opened })
        verify(!DatasetLoader.busy)
        mouseClick(child("btnCancel"))
        tryVerify(function () { return !prompt.visible })
        compare(ImageList.unsavedRows().length, 1)
        compare(file("a"), saved)

        mouseClick(child("btnLoad"))
        tryVerify(function () { return prompt.opened })
        mouseClick(child("btnSaveAll"))
        tryVerify(function () { return !prompt.visible && !DatasetLoader.busy })
        verify(win.visible)
        compare(file("a").split("\n").length, saved.split("\n").length + 1)
        compare(ImageList.unsavedRows().length, 0)
        compare(child("gridImages").count, 4)
    }

    function test_quitPromptFailedSave() {
        const c = open("a")
        keyClick(Qt.Key_1)
        verify(testData.remove(base + "/labels"))
        // Asked with the overlay still open.
        win.close()
        const prompt = child("dlgQuit")
        tryVerify(function () { return prompt.opened })
        mouseClick(child("btnSaveAll"))
        verify(win.visible)
        verify(child("lblQuitError").text.indexOf("a.txt") >= 0)
        // Esc cancels the prompt only, not the overlay beneath.
        keyClick(Qt.Key_Escape)
        tryVerify(function () { return !prompt.visible })
        compare(c.state, "single")
        keyPress(Qt.Key_H)
        verify(!child("box0", c).visible)
        keyRelease(Qt.Key_H)
        verify(child("box0", c).visible)
    }
}
