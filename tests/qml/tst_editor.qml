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
            { tag: "under the pointer", name: "a", width: 800, where: "inside", at: [0.25, 0.75] },
            { tag: "left of the picture", name: "a", width: 1200, where: "left", at: [0.05, 0.5] },
            { tag: "below the picture", name: "a", width: 800, where: "below", at: [0.5, 0.95] },
            { tag: "over a box with problems", name: "b", width: 800, where: "inside", at: [0.75, 0.75] },
            { tag: "no picture", name: "d", width: 800, where: "inside", at: null },
        ]
    }

    function test_addBox(data) {
        win.width = data.width
        win.height = 700
        const c = open(data.name), before = boxes().length, at = data.at || [0.25, 0.75]
        const content = child("rcContent", c), area = child("mouseFull", c)
        const p = data.where === "left" ? Qt.point(content.x / 2, content.y + content.height / 2)
                : data.where === "below" ? Qt.point(content.x + content.width / 2, area.height - 1)
                : content.mapToItem(area, at[0] * content.width, at[1] * content.height)
        mouseMove(area, p.x, p.y)
        keyClick(Qt.Key_1)
        compare(boxes().length, before + (data.at ? 1 : 0))
        for (let i = 0; data.at && i < 2; ++i)
            fuzzyCompare(boxes()[before][i + 1], data.at[i], 0.01)
    }

    // A drag draws a box between its ends, which stay inside the picture.
    function test_draw() {
        const c = open("a")
        const content = child("rcContent", c), from = pixel(c, 0.3, 0.7), to = pixel(c, 0.5, 1.2)
        drag(child("mouseFull", c), from, to)
        const b = boxes()[1], edges = [b[1] - b[3] / 2, b[2] - b[4] / 2, b[1] + b[3] / 2, b[2] + b[4] / 2]
        const expected = [from.px.x / content.width, from.px.y / content.height, to.px.x / content.width, 1]
        for (let i = 0; i < 4; ++i)
            fuzzyCompare(edges[i], expected[i], 1e-12)
    }

    // After next, a category key adds its box under the pointer where it is now.
    function test_addAfterNext() {
        const row = [0, 1, 2].find(function (r) { return nameAt(r) !== "d" && nameAt(r + 1) !== "d" })
        const c = open(nameAt(row)), area = child("mouseFull", c), p = pixel(c, 0.3, 0.6)
        mouseMove(area, p.x, p.y)
        const scene = area.mapToItem(null, p.x, p.y)
        keyClick(Qt.Key_D)
        compare(EditSession.shownRow, row + 1)
        // Its picture fills the overlay.
        tryVerify(function () { return child("rcContent", child("ctxItems")).width > child("gridImages").cellWidth }, 5000)
        const content = child("rcContent", child("ctxItems")), at = content.mapFromItem(null, scene.x, scene.y)
        keyClick(Qt.Key_1)
        const added = boxes()[boxes().length - 1]
        fuzzyCompare(added[1], at.x / content.width, 1e-9)
        fuzzyCompare(added[2], at.y / content.height, 1e-9)
    }

    // A drag in the middle of a box larger than a quarter of the picture draws a box
    // inside it, and a click there selects it.
    function test_drawInsideLargeBox() {
        const c = open("a"), area = child("mouseFull", c), p = pixel(c, 0.7, 0.7)
        EditSession.setBoxRect(0, 0.5, 0.5, 0.8, 0.8)
        drag(area, pixel(c, 0.3, 0.3), pixel(c, 0.5, 0.5))
        compare(boxes().length, 2)
        mouseClick(area, p.x, p.y)
        compare(EditSession.selected, 0)
        mouseDoubleClickSequence(area, p.x, p.y)
        tryVerify(function () { return child("classPicker").opened })
    }

    // Arrows move by pixels of the photo (500 by 375), ten with Shift; H hides the
    // boxes while held; Delete removes the selected box and Ctrl+S saves.
    function test_keyboard() {
        const c = open("b")
        select(c, 0)
        keyClick(Qt.Key_Right)
        keyClick(Qt.Key_Down, Qt.ShiftModifier)
        compare(boxes()[0], [1, 0.25 + 1 / 500, 0.25 + 10 / 375, 0.1, 0.1])
        keyPress(Qt.Key_H)
        verify(!child("box0", c).visible && !child("box1", c).visible)
        keyRelease(Qt.Key_H)
        verify(child("box0", c).visible)
        keyClick(Qt.Key_Delete)
        keySequence(StandardKey.Save)
        compare(file("b"), "2 0.75 0.75 0.2 0.2")
    }

    // A drag of a box or of a handle is one step to undo, however many moves it reports.
    function test_dragUndo() {
        const c = open("a")
        const content = child("rcContent", c), states = [boxes()], box = select(c, 0)
        // A tenth of the picture to the right: whole pixels, give or take one.
        const start = box.mapToItem(content, 5, 5)
        drag(content, start, Qt.point(start.x + content.width / 10, start.y))
        fuzzyCompare(boxes()[0][1], 0.6, 1.5 / content.width)
        states.push(boxes())
        const right = child("rightHandle", box)
        drag(right, Qt.point(6, 6), Qt.point(23, 6))
        verify(boxes()[0][3] > 0.2)
        for (const i of [1, 0]) {
            keySequence(StandardKey.Undo)
            compare(boxes(), states[i])
        }
        verify(!child("btnSave").enabled)
    }

    // Saving c with its box moved would write the line's score away: Ctrl+S and next
    // ask first, and "Save anyway" saves and goes on.
    function test_saveAnyway_data() {
        return [{ tag: "save" }, { tag: "next" }]
    }

    function test_saveAnyway(data) {
        const c = open("c"), row = EditSession.row, prompt = child("dlgSaveAnyway")
        select(c, 0)
        keyClick(Qt.Key_Right)
        data.tag === "next" ? keyClick(Qt.Key_D) : keySequence(StandardKey.Save)
        tryVerify(function () { return prompt.opened })
        compare(child("lblQuestion", prompt).text, "c.txt: 1 line with extra fields will be written as a plain box.")
        compare(file("c"), "1 0.5 0.5 0.3 0.3 0.87")
        mouseClick(child("btnConfirm", prompt))
        tryVerify(function () { return !prompt.visible })
        verify(/^1 0\.50\d* 0\.5 0\.3 0\.3$/.test(file("c")), file("c"))
        compare(EditSession.row !== row, data.tag === "next")
    }

    // Ctrl+wheel zooms about the pointer, which stays on its point of the picture;
    // F fits the picture again, and zooming out stops there.
    function test_zoom() {
        const c = open("a")
        const area = child("mouseFull", c), content = child("rcContent", c), stage = child("ctxItems")
        const p = pixel(c, 0.3, 0.6), scene = area.mapToItem(null, p.x, p.y)
        for (let i = 0; i < 3; ++i)
            mouseWheel(area, p.x, p.y, 0, 120, Qt.NoButton, Qt.ControlModifier)
        compare(child("lblZoom").text, "195 %")
        const now = content.mapFromItem(null, scene.x, scene.y)
        fuzzyCompare(now.x, p.px.x, 1e-6)
        fuzzyCompare(now.y, p.px.y, 1e-6)
        keyClick(Qt.Key_F)
        compare([stage.zoom, stage.panX, stage.panY], [1, 0, 0])
        mouseWheel(area, p.x, p.y, 0, -600, Qt.NoButton, Qt.ControlModifier)
        compare(stage.zoom, 1)
    }

    // Next and previous go through the rows shown, here not those of the list, and
    // save the image they leave.
    function test_nextInFilteredGrid() {
        const first = nameAt(0)
        for (const name of ["a", "b", "c"])
            testData.writeFile(labels + name + ".txt", (name === first ? "1" : "2") + " 0.5 0.5 0.2 0.4")
        load(base + "/images", base + "/labels", 4)
        ImageFilter.classFilter = 2
        const shown = [nameAt(0), nameAt(1)]
        verify(ImageFilter.sourceRow(0) > 0)
        open(shown[0])
        keyClick(Qt.Key_1)
        keyClick(Qt.Key_D)
        verify(findText(child("ctxItems"), shown[1]))
        compare(file(shown[0]).split("\n").length, 2)
        keyClick(Qt.Key_A)
        verify(findText(child("ctxItems"), shown[0]))
    }

    // With 80 classes, C opens the picker: a number typed and Enter relabel the selected
    // box, one step to undo. A swatch relabels it too; a double click on it opens the
    // picker, where the numbers starting with what was typed follow the number itself.
    function test_classPicker() {
        const names = []
        for (let i = 0; i < 80; ++i)
            names.push("cls" + i)
        testData.writeFile(labels + "classes.txt", names.join("\n"))
        load(base + "/images", base + "/labels", 4)
        const c = open("b"), picker = child("classPicker")
        select(c, 0)
        keyClick(Qt.Key_C)
        tryVerify(function () { return picker.opened })
        keyClick(Qt.Key_4)
        keyClick(Qt.Key_2)
        keyClick(Qt.Key_Return)
        compare([boxes()[0][0], child("tagLabel", child("box0", c)).text], [42, "cls42"])
        keySequence(StandardKey.Undo)
        compare(boxes()[0][0], 1)
        mouseClick(child("rptCategories").itemAt(5))
        compare([boxes()[0][0], EditSession.category], [5, 0])
        mouseDoubleClickSequence(child("box0", c))
        keyClick(Qt.Key_7)
        keyClick(Qt.Key_Down)
        keyClick(Qt.Key_Return)
        compare(boxes()[0][0], 70)
        // Without a box selected, the choice is the class of the boxes drawn next.
        EditSession.select(-1)
        keyClick(Qt.Key_C)
        keyClick(Qt.Key_3)
        keyClick(Qt.Key_Return)
        compare([boxes()[0][0], EditSession.category], [70, 3])
    }

    // A click on a prediction's dashed outline, here inside a label box, selects it; Y
    // takes it over as a box, which it then matches at once; R gives the label box a
    // prediction of another class overlaps that class and box; N goes on to the next
    // image with a disagreement, saving this one, and Shift+N back. Prediction files
    // stay as they were.
    function test_predictions() {
        const predictions = base + "/predictions"
        const written = { b: "1 0.3 0.25 0.1 0.1 0.9\n1 0.76 0.75 0.2 0.2 0.8\n", c: "2 0.5 0.5 0.3 0.3 0.7\n" }
        for (const name in written)
            verify(testData.writeFile(predictions + "/" + name + ".txt", written[name]))
        child("txtPredFolder").text = predictions
        load(base + "/images", base + "/labels", 4)
        const c = open("b"), p = pixel(c, 0.25, 0.27)
        verify(child("prediction_extra", c))
        mouseClick(child("mouseFull", c), p.x, p.y)
        compare([EditSession.selectedPrediction, EditSession.selected], [0, -1])
        verify(child("selectedPrediction", c).visible)
        keyClick(Qt.Key_Y)
        compare([EditSession.selectedPrediction, EditSession.selected, boxes()[2]], [-1, 2, [1, 0.3, 0.25, 0.1, 0.1]])
        tryVerify(function () { return !child("prediction_extra", c) && child("prediction_match", c) })
        EditSession.selectPrediction(1)
        keyClick(Qt.Key_R)
        compare([EditSession.selected, boxes()[1]], [1, [1, 0.76, 0.75, 0.2, 0.2]])
        keyClick(Qt.Key_N)
        compare([nameAt(EditSession.shownRow), EditSession.selected], ["c", 0])
        compare(file("b"), "1 0.25 0.25 0.1 0.1\n1 0.76 0.75 0.2 0.2\n1 0.3 0.25 0.1 0.1")
        // Back to b, whose box 0 no prediction found now.
        keyClick(Qt.Key_N, Qt.ShiftModifier)
        compare([nameAt(EditSession.shownRow), EditSession.selected], ["b", 0])
        for (const name in written)
            compare(testData.readFile(predictions + "/" + name + ".txt"), written[name])
    }
}
