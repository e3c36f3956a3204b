import QtQuick 2.15
import QtQuick.Window 2.15
import QtTest 1.15
import Boxmere 1.0

// The grid and what surrounds it: pictures, the tile menu, Go, the filters, the
// File menu, statistics, and the prompt about changes never saved.
WindowFixture {
    name: "Grid"

    function test_thumbnails() {
        const c = cell("a")
        tryVerify(function () { return pictureShown(c) }, 5000)
        const image = child("image", c)
        // Decoded near the size shown, not at the photo's 500 by 338.
        verify(image.sourceSize.width >= image.width * Screen.devicePixelRatio)
        verify(image.sourceSize.width < image.width * Screen.devicePixelRatio + 64)
        const small = image.implicitWidth
        verify(small <= image.sourceSize.width)
        open("a")
        verify(image.implicitWidth > small)
        compare(image.implicitWidth, 500) // never enlarged past the photo
    }

    function test_deleteFromMenu_data() {
        return [ { tag: "all rows", filter: "", shown: 3 }, { tag: "filtered", filter: "b", shown: 0 } ]
    }

    function test_deleteFromMenu(data) {
        ImageFilter.nameFilter = data.filter
        mouseClick(cell("b"), 10, 10, Qt.RightButton)
        pick("Delete")
        compare(child("gridImages").count, data.shown)
        compare(ImageFilter.total, 3)
        verify(!testData.exists(base + "/labels/b.txt"))
        verify(testData.exists(base + "/images/b.jpg"))
        verify(testData.exists(base + "/labels/a.txt"))
        verify(!cell("b"))
        ImageFilter.nameFilter = ""
    }

    function test_wheelAndGo() {
        child("sldCols").value = 1
        const grid = child("gridImages")
        tryCompare(grid, "contentHeight", 4 * grid.cellHeight)
        // Ctrl+wheel zooms only in the overlay; in the grid the wheel scrolls.
        const c = cell(nameAt(0))
        mouseWheel(c, c.width / 2, 20, 0, -120, Qt.NoButton, Qt.ControlModifier)
        mouseWheel(c, c.width / 2, 20, 0, -120)
        tryVerify(function () { return grid.contentY > 0 })
        compare(stage().zoom, 1)
        child("txtIndex").text = "2"
        mouseClick(child("btnGo"))
        tryCompare(grid, "contentY", 2 * grid.cellHeight + grid.originY)
        child("txtIndex").text = "abc"
        mouseClick(child("btnGo"))
        compare(grid.contentY, 2 * grid.cellHeight + grid.originY)
    }

    function test_filters() {
        verify(!child("problemMark", cell("a")).visible)
        compare(child("problemMark", cell("d")).text, "⚠ 1")
        // Classes are counted a moment after the load.
        tryVerify(function () { return child("cmbClassFilter").model.length === 3 })
        compare(child("cmbClassFilter").model.map(function (o) { return o.text }),
                ["All classes", "People (4)", "class 2 (1)"])
        mouseClick(child("txtNameFilter"))
        keyClick("b")
        compare(child("lblShown").text, "1 of 4 images")
        // Rows are numbered as shown.
        verify(findText(cell("b").parent, "0"))
        child("txtNameFilter").text = ""
        const box = child("cmbProblemFilter")
        mouseClick(box)
        tryVerify(function () { return box.popup.opened })
        pick("class not in the class list (1)")
        compare(ImageFilter.problemFilter, "unknown-class")
        compare(child("gridImages").count, 1)
        verify(cell("b"))
        compare(box.displayText, "class not in the class list (1)")
    }

    function test_fileMenu() {
        const menu = child("mnuFile")
        menu.exportJson(base + "/list.json")
        tryVerify(function () { return !Conversion.busy })
        compare(child("lblConversion").text, "Wrote 4 images with 5 boxes to list.json")
        menu.loadJson(base + "/list.json")
        tryVerify(function () { return !Conversion.busy })
        compare(child("lblConversion").text, "Loaded 4 images with 5 boxes from list.json")
        compare(child("gridImages").count, 8)
        menu.loadJson(base + "/nothing.json")
        tryVerify(function () { return !Conversion.busy })
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
        compare(child("chartProblems", panel.contentItem).values.reduce(function (a, b) { return a + b }), 3)
    }

    // An edit left unsaved, in a tile that went out of view since.
    function editAndScrollAway() {
        const row = nameAt(0) === "d" ? 1 : 0
        const name = nameAt(row)
        const saved = file(name)
        open(name)
        keyClick(Qt.Key_1)
        keyClick(Qt.Key_Escape)
        tryVerify(function () { return !child("popControl").visible })
        child("sldCols").value = 1
        tryVerify(function () {
            child("gridImages").positionViewAtIndex(3, GridView.End)
            return !child("gridImages").itemAtIndex(row)
        })
        return { name: name, lines: saved.split("\n").length }
    }

    function test_prompt_data() {
        return [
            { tag: "quit, Save all", button: "btnSaveAll", saved: true, load: false },
            { tag: "quit, Discard", button: "btnDiscard", saved: false, load: false },
            { tag: "load, Save all", button: "btnSaveAll", saved: true, load: true },
        ]
    }

    function test_prompt(data) {
        const prompt = child("dlgQuit")
        if (!data.load) {
            // Nothing changed: the window closes at once.
            win.close()
            verify(!prompt.opened && !win.visible)
            win.show()
        }
        const edit = editAndScrollAway()
        const ask = function () {
            if (data.load)
                mouseClick(child("btnLoad"))
            else
                win.close()
            tryVerify(function () { return prompt.opened })
        }
        ask()
        verify(!DatasetLoader.busy)
        mouseClick(child("btnCancel"))
        tryVerify(function () { return !prompt.visible })
        verify(win.visible)
        compare(ImageList.unsavedRows().length, 1)
        ask()
        mouseClick(child(data.button))
        tryVerify(function () { return !prompt.visible && !DatasetLoader.busy })
        compare(win.visible, data.load)
        compare(file(edit.name).split("\n").length, edit.lines + (data.saved ? 1 : 0))
        compare(ImageList.unsavedRows().length, data.saved ? 0 : 1)
        if (data.load)
            compare(child("gridImages").count, 4)
    }

    function test_promptFailedSave() {
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
        compare(c.parent, stage())
        keyPress(Qt.Key_H)
        verify(!child("box0", c).visible)
        keyRelease(Qt.Key_H)
    }
}
