import QtQuick 2.15
import QtTest 1.15
import Boxmere 1.0

// The grid and what surrounds it: the filters, the tile menu, the wheel, and
// the prompt about changes never saved.
WindowFixture {
    name: "Grid"

    function test_filters() {
        compare(child("problemMark", cell("d")).text, "⚠ 1")
        // Classes are counted a moment after the load.
        tryVerify(function () { return child("cmbClassFilter").model.length === 3 })
        compare(child("cmbClassFilter").model.map(function (o) { return o.text }),
                ["All classes", "People (4)", "class 2 (1)"])
        mouseClick(child("txtNameFilter"))
        keyClick("b")
        compare(child("lblShown").text, "1 of 4 images")
        // The editor takes the keys from the field, which would swallow the category keys.
        open("b")
        keyClick(Qt.Key_1)
        compare(boxes().length, 3)
        compare(child("txtNameFilter").text, "b")
        // Esc takes the tile's content back out of the overlay.
        keyClick(Qt.Key_Escape)
        tryVerify(function () { return !child("popControl").visible })
        compare(cell("b").state, "multiple")
        child("txtNameFilter").text = ""
        const box = child("cmbProblemFilter")
        mouseClick(box)
        pick("class not in the class list (1)")
        compare(box.displayText, "class not in the class list (1)")
        compare(child("gridImages").count, 1)
    }

    // The review report of the images shown from the File menu; the statistics panel
    // writes each chart to a PNG file of its own.
    function test_reports() {
        child("mnuFile").exportReport(base + "/report.csv")
        compare(child("lblConversion").text, "Wrote a review report of 4 images to " + base + "/report.csv")
        compare(testData.readFile(base + "/report.csv").split("\r\n").length, 6)
        mouseClick(child("btnStatistics"))
        const panel = child("statsPanel")
        tryVerify(function () { return panel.opened })
        panel.saveCharts(base)
        tryVerify(function () { return panel.note.length > 0 })
        compare(panel.note, "Wrote 4 charts to " + base)
        for (const name of ["boxes-per-class", "images-by-boxes", "box-sizes", "problems"])
            verify(testData.readFile(base + "/" + name + ".png").length > 0, name)
        panel.close()
    }

    // A model's predictions are drawn dashed with their confidence and what they disagree
    // in; a label box none found is ringed; the confidence slider matches again.
    function test_predictions() {
        const predictions = base + "/predictions"
        const written = "1 0.25 0.25 0.1 0.1 0.87\n1 0.5 0.5 0.1 0.1 0.6\n1 0.75 0.75 0.2 0.2 0.1\n"
        verify(testData.writeFile(predictions + "/b.txt", written))
        child("txtPredFolder").text = predictions
        load(base + "/images", base + "/labels", 4)
        verify(child("predictionThresholds").visible)
        child("sldCols").value = 2
        const c = cell("b")
        tryVerify(function () { return findText(c, "0.87") && findText(c, "0.60 extra") })
        verify(child("prediction_missed", c).visible)
        verify(!findText(c, "0.10 class?"))
        PredictionMatcher.confidence = 0.05
        tryVerify(function () { return findText(c, "0.10 class?") })
        verify(child("prediction_missed", c).visible)
        compare(testData.readFile(predictions + "/b.txt"), written)
        // The grid narrowed to images with extra boxes, then to a confusion cell, which a chip takes off.
        const combo = child("cmbPredictionFilter")
        tryVerify(function () { return combo.model.some(function (o) { return o.text === "wrong class (1)" }) })
        mouseClick(combo)
        pick("extra boxes (1)")
        compare(child("gridImages").count, 1)
        ImageFilter.predictionFilter = ""
        ImageFilter.setConfusionFilter(ImageFilter.background, 1)
        compare([child("btnConfusionFilter").text, child("gridImages").count], ["background as People ✕", 1])
        mouseClick(child("btnConfusionFilter"))
        compare([child("btnConfusionFilter").visible, child("gridImages").count], [false, 4])
    }

    // A file name never covers the row number, also where the picture reaches the top
    // of a small tile.
    function test_caption() {
        child("sldCols").value = 10
        for (const name of ["a", "b", "c"]) {
            const c = cell(name), number = child("lblRow", c), caption = findText(c, name)
            tryVerify(function () { return child("image", c).paintedWidth > 0 })
            const r = number.mapToItem(c, 0, 0), n = caption.mapToItem(c, 0, 0)
            verify(n.x >= r.x + number.width || n.y >= r.y + number.height, name)
        }
    }

    // The menu moves the label file of the image clicked to the trash, not that of the
    // row in its place in the whole list, and leaves the pictures; Undo takes it back.
    function test_deleteInFilteredGrid() {
        const name = nameAt(3)
        child("txtNameFilter").text = name
        mouseClick(cell(name), 10, 10, Qt.RightButton)
        pick("Delete")
        compare([child("gridImages").count, ImageFilter.total], [0, 3])
        compare(["a", "b", "c", "d"].filter(function (n) { return !testData.exists(labels + n + ".txt") }), [name])
        verify(["a", "b", "c"].every(function (n) { return testData.exists(base + "/images/" + n + ".jpg") }))
        compare(child("lblTrashed").text, "Moved " + name + ".txt to the trash")
        mouseClick(child("btnUndoDelete"))
        compare([child("gridImages").count, testData.exists(labels + name + ".txt")], [1, true])
        verify(!child("lblTrashed").visible)
    }

    // Export YOLO says how many label files it would replace and asks first; Cancel writes nothing.
    function test_exportAsks() {
        const before = file("a"), ask = child("dlgConfirm")
        for (const replace of [false, true]) {
            child("mnuFile").exportYolo(base + "/labels")
            tryVerify(function () { return ask.opened })
            compare(ask.text, "Replace 3 existing label files in " + base + "/labels?")
            mouseClick(child(replace ? "btnConfirm" : "btnConfirmCancel"))
            tryVerify(function () { return !ask.visible && !Conversion.busy })
            compare(file("a") === before, !replace)
        }
        compare(child("lblConversion").text, "Wrote 3 label files to " + base + "/labels; replaced 3 existing label "
                + "files; left out 1 image whose label file holds lines Boxmere cannot write back unchanged, "
                + "or could not be read")
    }

    // "About" names the version and the Qt the window runs on.
    function test_about() {
        child("mnuAbout").triggered()
        tryVerify(function () { return child("dlgAbout").opened })
        verify(/^Boxmere \d+\.\d+\.\d+\n[^]*\nQt 5\.\d+\.\d+$/.test(child("lblAbout").text), child("lblAbout").text)
        child("dlgAbout").close()
        tryVerify(function () { return !child("dlgAbout").visible })
    }

    // In the grid the wheel scrolls, with Ctrl too: only the editor zooms.
    function test_wheel() {
        child("sldCols").value = 1
        const grid = child("gridImages")
        tryCompare(grid, "contentHeight", 4 * grid.cellHeight)
        mouseWheel(cell(nameAt(0)), 20, 20, 0, -120, Qt.NoButton, Qt.ControlModifier)
        tryVerify(function () { return grid.contentY > 0 })
    }

    function test_prompt_data() {
        return [
            { tag: "quit, Save all", button: "btnSaveAll", saved: true, load: false },
            { tag: "quit, Discard", button: "btnDiscard", saved: false, load: false },
            { tag: "load, Save all", button: "btnSaveAll", saved: true, load: true },
        ]
    }

    // An edit left unsaved, in a tile scrolled out of view since, is asked about
    // before quitting and before a load; Cancel keeps it and the window.
    function test_prompt(data) {
        const prompt = child("dlgQuit")
        if (!data.load) {
            // Nothing changed: the window closes at once.
            win.close()
            verify(!prompt.opened && !win.visible)
            win.show()
        }
        const row = 1, name = nameAt(row), lines = file(name).split("\n").length
        open(name)
        keyClick(Qt.Key_1)
        keyClick(Qt.Key_Escape)
        tryVerify(function () { return !child("popControl").visible })
        verify(child("unsavedMark", cell(name)).visible)
        child("sldCols").value = 1
        tryVerify(function () {
            child("gridImages").positionViewAtIndex(3, GridView.End)
            return !child("gridImages").itemAtIndex(row)
        })
        for (const button of ["btnCancel", data.button]) {
            if (data.load)
                mouseClick(child("btnLoad"))
            else
                keySequence("Ctrl+Q") // "Quit" goes the way closing the window goes
            tryVerify(function () { return prompt.opened })
            verify(!DatasetLoader.busy)
            mouseClick(child(button))
            tryVerify(function () { return !prompt.visible && !DatasetLoader.busy })
            if (button === "btnCancel")
                verify(win.visible && ImageList.unsavedRows().length === 1)
        }
        compare(win.visible, data.load)
        compare(file(name).split("\n").length, lines + (data.saved ? 1 : 0))
        compare(ImageList.unsavedRows().length, data.saved ? 0 : 1)
        if (data.load)
            compare(child("gridImages").count, 4)
    }

    // A save that fails names the file; Esc then cancels the prompt alone, and the
    // editor beneath still takes its keys.
    function test_promptFailedSave() {
        const c = open("a")
        keyClick(Qt.Key_1)
        verify(testData.remove(base + "/labels"))
        win.close()
        const prompt = child("dlgQuit")
        tryVerify(function () { return prompt.opened })
        mouseClick(child("btnSaveAll"))
        verify(win.visible)
        verify(child("lblQuitError").text.indexOf("a.txt") >= 0)
        keyClick(Qt.Key_Escape)
        tryVerify(function () { return !prompt.visible })
        compare(c.parent, child("ctxItems"))
        keyPress(Qt.Key_H)
        verify(!child("box0", c).visible)
        keyRelease(Qt.Key_H)
    }

    // A box past the picture's edge, and its tag, end at the edge: the picture is the
    // nearest item that clips them, in the grid and in the editor.
    function test_clip() {
        for (const opened of [false, true]) {
            const c = opened ? open("b") : cell("b")
            let clipper = child("box0", c).parent
            while (!clipper.clip)
                clipper = clipper.parent
            compare(clipper, child("rcContent", c))
        }
    }

    // G, X and E mark the image and go on, in the editor and on the grid's current tile; U
    // finds the next unreviewed; a badge shows each status and the status file keeps them.
    function test_review() {
        ImageFilter.sortOrder = "name"
        open("a")
        keyClick(Qt.Key_G)
        tryCompare(EditSession, "shownRow", 1)
        keyClick(Qt.Key_X)
        tryCompare(EditSession, "shownRow", 2)
        keyClick(Qt.Key_U)
        tryCompare(EditSession, "shownRow", 3)
        keyClick(Qt.Key_Escape)
        tryVerify(function () { return !child("popControl").visible })
        const grid = child("gridImages")
        grid.forceActiveFocus()
        keyClick(Qt.Key_E)
        keyClick(Qt.Key_U)
        compare(grid.currentIndex, 2)
        compare(["a", "b", "c", "d"].map(function (name) {
            const sign = child("statusSign", cell(name))
            return sign.parent.visible ? sign.text : ""
        }), ["✓", "!", "", "∅"])
        compare(child("lblReviewProgress").text, "3 of 4 reviewed (75 %) · 1 needs fixing")
        const header = "# Boxmere review status: status<TAB>label file, one image a line; images not listed are unreviewed\n"
        const written = header + "accepted\tlabels/a.txt\nneeds-fix\tlabels/b.txt\nverified-empty\tlabels/d.txt\n"
        const file = base + "/boxmere-review.tsv"
        tryVerify(function () { return testData.readFile(file) === written })
        mouseClick(cell("a"), 10, 10, Qt.RightButton)
        pick("Unreviewed")
        verify(!child("statusBadge", cell("a")).visible)
        ImageFilter.sortOrder = ""
    }
}
