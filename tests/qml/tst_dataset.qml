import QtQuick 2.15
import QtTest 1.15
import Boxmere 1.0

// Data set folders: "Open dataset…" with its splits, class names from data.yaml,
// and tiles whose picture is missing or cut off.
WindowFixture {
    name: "Dataset"
    folder: "dataset"
    windowWidth: 900

    function openDataset() {
        win.openDataset(base)
        tryVerify(function () { return !DatasetLoader.busy })
    }

    function test_openDataset() {
        win.openDataset(base + "/images")
        compare(child("lblDatasetError").text, base + "/images holds no images and labels folders")
        openDataset()
        const split = child("cmbSplit")
        compare([split.visible, split.count, split.currentText], [true, 2, "train"])
        compare([child("txtImgsFolder").text, child("txtRectFolder").text], [base + "/images/train", base + "/labels/train"])
        compare(child("gridImages").count, 5)
        compare(child("lblLoadSummary").text,
                "5 images · 1 label file without an image · 1 image without a label file · "
                + "1 box of a class not in the list · classes from data.yaml")
        // The other split, picked from the keyboard.
        split.forceActiveFocus()
        keyClick(Qt.Key_Down)
        tryVerify(function () { return !DatasetLoader.busy })
        compare([split.currentText, child("txtImgsFolder").text, child("gridImages").count], ["val", base + "/images/val", 1])
        // An import replaces the list: the lines and fields speak of it alone, until the next load.
        verify(testData.writeFile(base + "/c.json", '{"images": [{"id": 1, "file_name": "x.jpg", "width": 10, '
                                  + '"height": 10}], "annotations": [{"image_id": 1, "category_id": 1, "bbox": [0, 0, 5, 5]}], '
                                  + '"categories": [{"id": 1, "name": "cat"}]}'))
        Conversion.importCoco(base + "/c.json")
        tryVerify(function () { return !Conversion.busy && child("gridImages").count === 1 })
        compare([child("lblConversion").text, child("lblLoadSummary").visible, child("txtRectFolder").text, split.visible],
                ["Imported 1 image with 1 box of 1 category from c.json", false, "", false])
        openDataset()
        compare(child("lblConversion").text, "")
    }

    // Train's a.jpg is val's v.jpg; c.png is e.jpg. The filter shows the groups side by
    // side, and a new load forgets them.
    function test_nearDuplicates() {
        openDataset()
        mouseClick(child("btnFindDuplicates"))
        tryVerify(function () { return DuplicateSearch.searched && !DuplicateSearch.busy }, 20000)
        compare([child("chkDuplicates").text, child("lblDuplicateLeak").text],
                ["near-duplicates (3)", "⚠ a.jpg in train has a near-duplicate in val: v.jpg"])
        mouseClick(child("chkDuplicates"))
        compare([0, 1, 2].map(nameAt), ["a", "c", "e"])
        openDataset()
        compare([child("chkDuplicates").visible, child("gridImages").count, DuplicateSearch.leakMessage], [false, 5, ""])
    }

    // Of several YAML files with names, the one the user picks names the classes, also
    // on the next load of the data set.
    function test_classFileChoice() {
        verify(testData.remove(base + "/data.yaml") && testData.writeFile(base + "/a.yaml", "names: [bike]")
               && testData.writeFile(base + "/b.yaml", "names: [person, car]"))
        openDataset()
        const dialog = child("dlgClassFile")
        tryVerify(function () { return dialog.opened })
        compare([dialog.files, child("lblClassFile").text], [[base + "/a.yaml", base + "/b.yaml"], "none"])
        verify(child("lblLoadSummary").text.endsWith("2 possible class files, none chosen"))
        child("lstClassFiles").currentIndex = 1
        dialog.accept()
        tryVerify(function () { return !DatasetLoader.busy && child("lblClassFile").text === "b.yaml" })
        openDataset()
        compare([dialog.opened, DatasetLoader.classFile], [false, base + "/b.yaml"])
    }

    // Boxes take their class's colour, black for a class not in the list; the swatch
    // clicked last gives drawn boxes their class, and Ctrl with a shortcut relabels.
    function test_classNames() {
        openDataset()
        const c = cell("c")
        compare([0, 1, 2].map(function (i) { return String(child("box" + i, c).bboxColor) }),
                ["#e6194b", "#3cb44b", "#000000"])
        open("c")
        mouseClick(child("rptCategories").itemAt(1))
        compare(EditSession.category, 1)
        select(c, 1)
        keyClick(Qt.Key_1, Qt.ControlModifier)
        compare(boxes()[1][0], 0)
    }

    function test_pictureProblems_data() {
        return [
            { tag: "picture", name: "a", mark: "" },
            { tag: "cut off", name: "b", mark: "unreadable image" },
            { tag: "png", name: "c", mark: "" },
            { tag: "missing", name: "d", mark: "missing image" },
        ]
    }

    function test_pictureProblems(data) {
        openDataset()
        const image = child("image", cell(data.name)), mark = child("lblImageProblem", cell(data.name))
        tryVerify(function () { return image.status === Image.Ready || image.status === Image.Error }, 5000)
        compare(mark.visible ? mark.text : "", data.mark)
        compare(image.paintedWidth > 0, data.mark === "")
    }
}
