import QtQuick 2.15
import QtQuick.Window 2.15
import QtTest 1.15
import Boxmere 1.0

// Review in the main window: filters above the grid, problem marks and outlines, the
// File menu's conversions and the statistics panel, on the folder pair of
// testData.makeFolderPair(): a.txt sound, b.txt with a box of class 2 (not in the
// list), c.txt with a score after the fields, d.txt without a picture.
TestCase {
    name: "Review"
    when: windowShown

    property var win: null
    property string base: ""

    function initTestCase() {
        const component = Qt.createComponent("qrc:/main.qml")
        compare(component.status, Component.Ready, component.errorString())
        win = component.createObject(null)
        win.width = 900
        win.height = 700
    }

    function init() {
        base = testData.makeFolderPair()
        verify(base.length > 0, "the photos of labelme-examples are installed")
        win.requestActivate()
        tryVerify(function () { return win.active })
        child("txtImgsFolder").text = base + "/images"
        child("txtRectFolder").text = base + "/labels"
        mouseClick(child("btnLoad"))
        tryVerify(function () { return !DatasetLoader.busy })
        compare(child("gridImages").count, 4)
    }

    function cleanup() {
        const items = child("ctxItems")
        if (items.children.length > 0)
            items.children[0].state = "multiple"
        tryVerify(function () { return !child("popControl").visible })
        child("statsPanel").close()
        child("txtNameFilter").text = ""
        ImageFilter.classFilter = ImageFilter.anyClass
        ImageFilter.problemFilter = ""
        tryVerify(function () { return !Conversion.busy })
        // Edits left unsaved would make the next load ask about them.
        ImageList.loadYolo(base + "/nowhere", base + "/nowhere")
    }

    function child(name, parent) {
        return findChild(parent || win, name)
    }

    function findText(item, text) {
        if (!item)
            return null
        if (item.text === text && item.visible)
            return item
        for (let i = 0; i < item.children.length; ++i) {
            const found = findText(item.children[i], text)
            if (found)
                return found
        }
        return null
    }

    function cell(name) {
        const grid = child("gridImages")
        for (let i = 0; i < grid.count; ++i) {
            const item = grid.itemAtIndex(i)
            if (item && findText(item, name))
                return child("cell" + i, item)
        }
        return null
    }

    function open(name) {
        const c = cell(name)
        verify(c, name)
        tryVerify(function () { return child("image", c).paintedWidth > 0 }, 5000)
        mouseClick(c)
        tryVerify(function () { return child("popControl").opened })
        return c
    }

    function typeName(text) {
        const field = child("txtNameFilter")
        mouseClick(field)
        for (const c of text)
            keyClick(c)
    }

    function test_nameFilter() {
        typeName("b")
        compare(child("gridImages").count, 1)
        verify(cell("b"))
        compare(child("lblShown").text, "1 of 4 images")
        // Rows are numbered as shown, and Go goes by those numbers.
        verify(findText(cell("b").parent, "0"))
    }

    function test_problemMarks() {
        verify(!child("problemMark", cell("a")).visible)
        verify(child("problemMark", cell("b")).visible)
        compare(child("problemMark", cell("d")).text, "⚠ 1")
    }

    function test_problemFilterFromList() {
        const box = child("cmbProblemFilter")
        mouseClick(box)
        tryVerify(function () { return box.popup.opened })
        const item = findText(win.overlay, "class not in the class list (1)")
        verify(item, "the option with its count")
        mouseClick(item)
        compare(ImageFilter.problemFilter, "unknown-class")
        compare(child("gridImages").count, 1)
        verify(cell("b"))
        compare(box.displayText, "class not in the class list (1)")
    }

    function test_classFilter() {
        const box = child("cmbClassFilter")
        compare(box.model.map(function (o) { return o.text }), ["All classes", "People (4)", "class 2 (1)"])
        box.activated(2)
        compare(child("gridImages").count, 1)
        verify(cell("b"))
    }

    function test_deleteInFilteredGrid() {
        typeName("c")
        const c = cell("c")
        mouseClick(c, 10, 10, Qt.RightButton)
        const item = findText(win.overlay, "Delete")
        verify(item)
        mouseClick(item)
        verify(!testData.exists(base + "/labels/c.txt"))
        verify(testData.exists(base + "/labels/a.txt"))
        compare(child("gridImages").count, 0)
        compare(ImageFilter.total, 3)
    }

    function test_resetInFilteredGrid() {
        typeName("b")
        const c = open("b")
        const area = child("mouseFull", c)
        mouseMove(area, area.width / 2, area.height / 2)
        keyClick(Qt.Key_1)
        verify(child("box2", c))
        mouseClick(child("btnReset"))
        verify(!child("box2", c))
        verify(child("box1", c))
        compare(testData.readFile(base + "/labels/b.txt"), "1 0.25 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2")
    }

    // Next and previous go through the rows shown, and save what they leave.
    function test_nextInFilteredGrid() {
        testData.writeFile(base + "/labels/a.txt", "2 0.5 0.5 0.2 0.4")
        mouseClick(child("btnLoad"))
        tryVerify(function () { return !DatasetLoader.busy })
        ImageFilter.problemFilter = "unknown-class"
        compare(child("gridImages").count, 2)
        const first = findText(child("gridImages").itemAtIndex(0), "a") ? "a" : "b"
        const second = first === "a" ? "b" : "a"
        const c = open(first)
        const area = child("mouseFull", c)
        mouseMove(area, area.width / 2, area.height / 2)
        keyClick(Qt.Key_1)
        keyClick(Qt.Key_D)
        tryVerify(function () { return child("popControl").cell && child("popControl").cell.state === "single"
                                       && findText(child("popControl").cell, second) })
        compare(testData.readFile(base + "/labels/" + first + ".txt").split("\n").length, first === "a" ? 2 : 3)
        keyClick(Qt.Key_A)
        tryVerify(function () { return child("popControl").cell && findText(child("popControl").cell, first) })
    }

    function test_outlinesInOverlay() {
        const c = open("b")
        verify(!child("problemOutline", child("box0", c)))
        const outline = child("problemOutline", child("box1", c))
        verify(outline)
        compare(outline.text, "box 1: class not in the class list")
        // A new box on top of box 0 is a duplicate as soon as it is made.
        const content = child("rcContent", c)
        const p = content.mapToItem(child("mouseFull", c), 0.25 * content.width, 0.25 * content.height)
        mouseMove(child("mouseFull", c), p.x, p.y)
        keyClick(Qt.Key_1)
        tryVerify(function () { return child("problemOutline", child("box2", c)) })
        compare(child("problemOutline", child("box2", c)).text, "box 2: duplicate of box 0")
        compare(child("problemMark", c).text, "⚠ 2")
    }

    function test_fileMenu() {
        const menu = child("mnuFile")
        menu.exportJson(base + "/list.json")
        tryVerify(function () { return !Conversion.busy })
        compare(child("lblConversion").text, "Wrote 4 images with 5 boxes to list.json")
        verify(testData.exists(base + "/list.json"))
        menu.loadJson(base + "/list.json")
        tryVerify(function () { return !Conversion.busy })
        compare(child("lblConversion").text, "Loaded 4 images with 5 boxes from list.json")
        compare(child("gridImages").count, 8)
        menu.loadJson(base + "/nothing.json")
        tryVerify(function () { return !Conversion.busy })
        verify(Conversion.failed)
        compare(child("lblConversion").text, "Could not read " + base + "/nothing.json")
        compare(child("gridImages").count, 8)
    }

    function test_statistics() {
        mouseClick(child("btnStatistics"))
        const panel = child("statsPanel")
        tryVerify(function () { return panel.opened })
        compare(child("chartPerClass", panel.contentItem).values, [4, 1])
        compare(child("chartPerClass", panel.contentItem).labels, ["People", "class 2"])
        compare(child("chartPerImage", panel.contentItem).values, [0, 3, 1])
        const problems = child("chartProblems", panel.contentItem)
        compare(problems.labels.length, 10)
        compare(problems.values.reduce(function (a, b) { return a + b }), 3)
    }
}
