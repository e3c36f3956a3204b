import QtQuick 2.15
import QtQuick.Window 2.15
import QtTest 1.15
import Boxmere 1.0

// The main window on a temporary folder pair of real photos: a.jpg, b.jpg and
// c.jpg with labels a.txt (CRLF), b.txt (a box of an unknown class), c.txt (a
// score after the five fields), and d.txt whose picture is missing.
TestCase {
    name: "MainWindow"
    when: windowShown

    property var win: null
    property string base: ""

    // One window serves every test: destroying a window that holds popups while
    // the test runner spins the event loop is not something the app ever does.
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
        child("txtImgsFolder").text = ""
        child("txtRectFolder").text = ""
        child("txtIndex").text = ""
        child("sldCols").value = 4
        win.requestActivate()
        tryVerify(function () { return win.active })
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

    function load() {
        child("txtImgsFolder").text = base + "/images"
        child("txtRectFolder").text = base + "/labels"
        mouseClick(child("btnLoad"))
        tryVerify(function () { return !DatasetLoader.busy })
        compare(child("gridImages").count, 4)
    }

    // The grid cell of an image, found by its caption.
    function cell(name) {
        const grid = child("gridImages")
        for (let i = 0; i < grid.count; ++i) {
            const item = grid.itemAtIndex(i)
            if (item && findText(item, name))
                return child("cell" + i, item)
        }
        return null
    }

    function pictureLoaded(c) {
        const image = child("image", c)
        return image.status === Image.Ready && image.paintedWidth > 0
    }

    function open(name) {
        const c = cell(name)
        verify(c, name)
        tryVerify(function () { return pictureLoaded(c) || name === "d" }, 5000)
        mouseClick(c)
        compare(c.state, "single")
        tryVerify(function () { return child("popControl").opened })
        tryVerify(function () { return pictureLoaded(c) || name === "d" }, 5000)
        return c
    }

    function file(name) {
        return testData.readFile(base + "/labels/" + name + ".txt")
    }

    function test_loadEnabled() {
        const load = child("btnLoad")
        verify(!load.enabled)
        child("txtImgsFolder").text = base + "/images"
        verify(!load.enabled)
        child("txtRectFolder").text = " "
        verify(load.enabled)
        child("txtImgsFolder").text = ""
        verify(!load.enabled)
    }

    function test_columns() {
        load()
        const spin = child("sldCols")
        const grid = child("gridImages")
        compare(spin.value, 4)
        for (let i = 0; i < 15; ++i)
            spin.increase()
        compare(spin.value, 10)
        for (let i = 0; i < 15; ++i)
            spin.decrease()
        compare(spin.value, 1)
        for (const columns of [1, 3, 7]) {
            spin.value = columns
            fuzzyCompare(grid.cellWidth, grid.width / columns, 1e-9)
            compare(grid.cellHeight, grid.cellWidth)
        }
        win.width = 500
        fuzzyCompare(grid.cellWidth, grid.width / 7, 1e-9)
        compare(grid.cellHeight, grid.cellWidth)
    }

    function test_thumbnails() {
        load()
        const c = cell("a")
        tryVerify(function () { return pictureLoaded(c) }, 5000)
        const image = child("image", c)
        // Decoded near the size shown, not at the photo's 500 by 338.
        verify(image.sourceSize.width >= image.width * Screen.devicePixelRatio)
        verify(image.sourceSize.width < image.width * Screen.devicePixelRatio + 64)
        verify(image.implicitWidth <= image.sourceSize.width)
        const small = image.implicitWidth
        open("a")
        verify(image.implicitWidth > small)
        compare(image.implicitWidth, 500) // never enlarged past the photo
    }

    function test_openSaves() {
        load()
        verify(!child("popControl").visible)
        open("a")
        compare(file("a"), "1 0.5 0.5 0.2 0.4")
        verify(!child("btnSave").enabled)
        verify(!child("btnReset").enabled)
    }

    function test_openKeepsLinesItCannotRead() {
        load()
        open("c")
        compare(file("c"), "1 0.5 0.5 0.3 0.3 0.87")
        // The user asks for it: the save writes what the list holds.
        keySequence(StandardKey.Save)
        compare(file("c"), "1 0.5 0.5 0.3 0.3")
    }

    function test_addBox_data() {
        // The photo is 1.48 times as wide as high: a wide window leaves room beside it,
        // a tall one room above and below.
        return [
            { tag: "under the pointer", width: 800, height: 700, where: "inside", cx: 0.25, cy: 0.75 },
            { tag: "left of the picture", width: 1200, height: 500, where: "left", cx: 0, cy: 0.5 },
            { tag: "below the picture", width: 800, height: 700, where: "below", cx: 0.5, cy: 1 },
        ]
    }

    function test_addBox(data) {
        win.width = data.width
        win.height = data.height
        load()
        const c = open("a")
        const content = child("rcContent", c)
        const area = child("mouseFull", c)
        let p = content.mapToItem(area, 0.25 * content.width, 0.75 * content.height)
        if (data.where === "left")
            p = Qt.point(content.x / 2, content.y + content.height / 2)
        else if (data.where === "below")
            p = Qt.point(content.x + content.width / 2, area.height - 1)
        verify(p.x > 0 && p.y > 0 && p.x < area.width && p.y < area.height)
        mouseMove(area, p.x, p.y)
        keyClick(Qt.Key_1)
        const box = child("box1", c)
        verify(box)
        fuzzyCompare(box.iCx, data.cx, 0.01)
        fuzzyCompare(box.iCy, data.cy, 0.01)
        compare(box.iCw, 0.1)
        compare(box.iCh, 0.1)
        verify(Qt.colorEqual(box.bboxColor, "blue"))
        verify(child("btnSave").enabled)
        verify(child("btnReset").enabled)
        compare(file("a"), "1 0.5 0.5 0.2 0.4")
    }

    function test_noBoxWithoutPicture() {
        load()
        const c = open("d")
        const area = child("mouseFull", c)
        mouseMove(area, area.width / 2, area.height / 2)
        keyClick(Qt.Key_1)
        verify(!child("box1", c))
        verify(!child("btnSave").enabled)
    }

    function test_dragAndSave() {
        load()
        const c = open("a")
        const box = child("box0", c)
        const content = child("rcContent", c)
        mousePress(box, 5, 5)
        mouseRelease(box, 5, 5)
        verify(box.selected)
        // Move the box by a tenth of the picture to the right.
        const dx = content.width / 10
        const start = box.mapToItem(content, 5, 5)
        mousePress(content, start.x, start.y)
        for (let i = 1; i <= 4; ++i)
            mouseMove(content, start.x + dx * i / 4, start.y)
        mouseRelease(content, start.x + dx, start.y)
        // Mouse events carry whole pixels, so the travel is dx give or take one.
        fuzzyCompare(box.iCx, 0.6, 1.5 / content.width)
        compare(box.iCy, 0.5)
        verify(child("btnSave").enabled)
        compare(file("a"), "1 0.5 0.5 0.2 0.4")
        mouseClick(child("btnSave"))
        const fields = file("a").split(" ")
        compare(fields.length, 5)
        fuzzyCompare(parseFloat(fields[1]), box.iCx, 1e-6)
        compare(fields.slice(2).join(" "), "0.5 0.2 0.4")
        verify(!child("btnSave").enabled)

        // A click on the picture's background clears the selection, and the overlay stays.
        mouseClick(child("mouseFull", c), 2, 2)
        verify(!box.selected)
        compare(c.state, "single")
    }

    function test_reset() {
        load()
        const c = open("a")
        const area = child("mouseFull", c)
        mouseMove(area, area.width / 2, area.height / 2)
        keyClick(Qt.Key_1)
        keyClick(Qt.Key_1)
        verify(child("box2", c))
        mouseClick(child("btnReset"))
        verify(!child("box1", c))
        verify(child("box0", c))
        verify(!child("btnReset").enabled)
        verify(!child("btnSave").enabled)
    }

    function test_leaveWithoutSaving_data() {
        return [ { tag: "Esc" }, { tag: "Close" } ]
    }

    function test_leaveWithoutSaving(data) {
        load()
        const c = open("a")
        const area = child("mouseFull", c)
        mouseMove(area, area.width / 2, area.height / 2)
        keyClick(Qt.Key_1)
        if (data.tag === "Esc")
            keyClick(Qt.Key_Escape)
        else
            mouseClick(child("btnClose"))
        compare(c.state, "multiple")
        tryVerify(function () { return !child("popControl").visible })
        compare(file("a"), "1 0.5 0.5 0.2 0.4")
        // The edit stays in the list, and the grid shows it.
        verify(child("box1", c))
    }

    function test_failedSave() {
        load()
        const c = open("a")
        verify(testData.remove(base + "/labels"))
        const area = child("mouseFull", c)
        mouseMove(area, area.width / 2, area.height / 2)
        keyClick(Qt.Key_1)
        mouseClick(child("btnSave"))
        verify(child("btnSave").enabled)
        verify(child("lblSaveError").text.indexOf("a.txt") >= 0)
        verify(!testData.exists(base + "/labels/a.txt"))
        mouseClick(child("btnClose"))
        compare(child("lblSaveError").text, "")
    }

    function test_unknownCategoryIsBlack() {
        load()
        const c = cell("b")
        verify(Qt.colorEqual(child("box0", c).bboxColor, "blue"))
        verify(Qt.colorEqual(child("box1", c).bboxColor, "black"))
        verify(!child("box0", c).enabled)
    }

    function test_deleteFromMenu() {
        load()
        const c = cell("b")
        mouseClick(c, 10, 10, Qt.RightButton)
        const item = findText(win.overlay, "Delete")
        verify(item)
        mouseClick(item)
        compare(child("gridImages").count, 3)
        verify(!testData.exists(base + "/labels/b.txt"))
        verify(testData.exists(base + "/images/b.jpg"))
        verify(!cell("b"))
    }

    function test_go() {
        load()
        child("sldCols").value = 1
        const grid = child("gridImages")
        tryCompare(grid, "contentHeight", 4 * grid.cellHeight)
        compare(grid.contentY, 0)
        child("txtIndex").text = "abc"
        mouseClick(child("btnGo"))
        compare(grid.contentY, 0)
        child("txtIndex").text = "2"
        mouseClick(child("btnGo"))
        tryCompare(grid, "contentY", 2 * grid.cellHeight + grid.originY)
    }
}
