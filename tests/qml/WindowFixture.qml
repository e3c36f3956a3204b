import QtQuick 2.15
import QtTest 1.15
import Boxmere 1.0

// The main window on a folder of real photos, shared by the window tests. "pair"
// makes testData.makeFolderPair(): a (500 by 338, CRLF), b (500 by 375, a box of
// class 2, not in the list), c (a score after the five fields) and d (no picture),
// loaded before each test; "dataset" makes testData.makeDataset() and loads nothing.
TestCase {
    when: windowShown

    property string folder: "pair"
    property int windowWidth: 800
    property var win: null
    property string base: ""
    readonly property string labels: base + (folder === "pair" ? "/labels/" : "/labels/train/")

    // One window serves every test: destroying a window that holds popups while the
    // test runner spins the event loop is not something the app ever does.
    function initTestCase() {
        const component = Qt.createComponent("qrc:/main.qml")
        compare(component.status, Component.Ready, component.errorString())
        win = component.createObject(null)
    }

    function init() {
        base = folder === "pair" ? testData.makeFolderPair() : testData.makeDataset()
        verify(base.length > 0, "the photos of labelme-examples are installed")
        win.width = windowWidth
        win.height = 800
        win.show()
        child("sldCols").value = 4
        EditSession.pickCategory(-1)
        win.requestActivate()
        tryVerify(function () { return win.active })
        if (folder === "pair")
            load(base + "/images", base + "/labels", 4)
    }

    function cleanup() {
        EditSession.close()
        tryVerify(function () { return !child("popControl").visible })
        child("txtNameFilter").text = ""
        ImageFilter.classFilter = ImageFilter.anyClass
        ImageFilter.problemFilter = ""
        child("txtPredFolder").text = ""
        PredictionMatcher.confidence = 0.25
        tryVerify(function () { return !DatasetLoader.busy })
        // Edits left unsaved would make the next load ask about them.
        ImageList.loadYolo(base + "/nowhere", base + "/nowhere")
    }

    function child(name, parent) {
        return findChild(parent || win, name)
    }

    function findText(item, text) {
        if (!item || (item.text === text && item.visible))
            return item
        for (let i = 0; i < item.children.length; ++i) {
            const found = findText(item.children[i], text)
            if (found)
                return found
        }
        return null
    }

    function load(images, labels, rows) {
        child("txtImgsFolder").text = images
        child("txtRectFolder").text = labels
        mouseClick(child("btnLoad"))
        tryVerify(function () { return !DatasetLoader.busy })
        compare(child("gridImages").count, rows)
    }

    // The content of an image's tile, found by its caption; null while it is in the overlay.
    function cell(name) {
        const grid = child("gridImages")
        for (let i = 0; i < grid.count; ++i) {
            const item = grid.itemAtIndex(i)
            if (item && findText(item, name))
                return child("cell" + i, item)
        }
        return null
    }

    function nameAt(row) {
        return ImageList.filePathAt(ImageFilter.sourceRow(row)).replace(/^.*\/|\.[^.]*$/g, "")
    }

    // Opens an image with a click on its tile, whose content moves into the overlay.
    function open(name) {
        const c = cell(name)
        verify(c, name)
        const image = child("image", c)
        tryVerify(function () { return name === "d" || image.paintedWidth > 0 }, 5000)
        mouseClick(c)
        compare(c.state, "single")
        compare(c.parent, child("ctxItems"))
        tryVerify(function () { return child("popControl").opened && (name === "d" || image.paintedWidth > 100) }, 5000)
        return c
    }

    function file(name) {
        return testData.readFile(labels + name + ".txt")
    }

    // The boxes of the open image: [catId, cx, cy, cw, ch] per row.
    function boxes() {
        const model = EditSession.boxes, rows = []
        for (let r = 0; r < model.rowCount(); ++r)
            rows.push([0, 1, 2, 3, 4].map(function (role) { return model.data(model.index(r, 0), role) }))
        return rows
    }

    // A point of the picture at whole window pixels, as mouse events carry them:
    // its position in the tile's mouse area and in the picture.
    function pixel(c, fx, fy) {
        const area = child("mouseFull", c), content = child("rcContent", c)
        const scene = content.mapToItem(null, fx * content.width, fy * content.height)
        const local = area.mapFromItem(null, Math.round(scene.x), Math.round(scene.y))
        return { x: local.x, y: local.y, px: content.mapFromItem(area, local.x, local.y) }
    }

    function drag(item, from, to, button) {
        button = button || Qt.LeftButton
        mousePress(item, from.x, from.y, button)
        for (let i = 1; i <= 5; ++i)
            mouseMove(item, from.x + (to.x - from.x) * i / 5, from.y + (to.y - from.y) * i / 5, -1, button)
        mouseRelease(item, to.x, to.y, button)
    }

    function select(c, row) {
        const box = child("box" + row, c)
        mouseClick(box, box.width / 2, box.height / 2)
        verify(box.selected)
        return box
    }

    // Picks an entry of the window's popup layer, a menu's or a combo box's.
    function pick(text) {
        tryVerify(function () { return findText(win.overlay, text) }, 5000, text)
        mouseClick(findText(win.overlay, text))
    }
}
