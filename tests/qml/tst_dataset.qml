import QtQuick 2.15
import QtTest 1.15
import Boxmere 1.0

// Data set folders: "Open dataset…" with its splits, class names from data.yaml,
// and tiles whose picture is missing or cut off.
WindowFixture {
    name: "Dataset"
    folder: "dataset"
    windowWidth: 900

    function openDataset(folder) {
        win.openDataset(folder || base)
        tryVerify(function () { return !DatasetLoader.busy })
    }

    function test_openDataset() {
        win.openDataset(base + "/images")
        compare(child("lblDatasetError").text, base + "/images holds no images and labels folders")
        verify(child("lblDatasetError").visible)
        openDataset()
        verify(!child("lblDatasetError").visible)
        const split = child("cmbSplit")
        compare([split.visible, split.count, split.currentText], [true, 2, "train"])
        compare(child("txtImgsFolder").text, base + "/images/train")
        compare(child("txtRectFolder").text, base + "/labels/train")
        compare(child("gridImages").count, 5)
        compare(child("lblLoadSummary").text,
                "5 images · 1 label file without an image · 1 image without a label file · "
                + "1 box of a class not in the list · classes from data.yaml")
        // The other split, picked from the keyboard.
        split.forceActiveFocus()
        keyClick(Qt.Key_Down)
        tryVerify(function () { return !DatasetLoader.busy })
        compare(split.currentText, "val")
        compare(child("txtImgsFolder").text, base + "/images/val")
        compare(child("gridImages").count, 1)
    }

    // A picture without a label file is a row to label; its file comes with the first save.
    function test_pictureWithoutLabelFile() {
        openDataset()
        const c = open("e")
        compare(child("problemMark", c).text, "⚠ 1")
        verify(!testData.exists(labels + "e.txt"), "opening writes no label file")
        pointAt(c, 0.5, 0.5)
        keyClick(Qt.Key_2)
        keySequence(StandardKey.Save)
        compare(file("e"), "1 0.5 0.5 0.1 0.1")
        verify(!child("problemMark", c).visible)
    }

    function test_classNames() {
        openDataset()
        const c = cell("c")
        // Boxes take their class's colour; class 5 is not in the list and is black.
        const colours = [child("box0", c).bboxColor, child("box1", c).bboxColor, child("box2", c).bboxColor]
        compare(colours.map(String), ["#e6194b", "#3cb44b", "#000000"])
        open("c")
        const swatches = child("rptCategories")
        compare(swatches.count, 2)
        // The swatch clicked last gives drawn boxes their class; Ctrl+shortcut relabels.
        mouseClick(swatches.itemAt(1))
        compare(EditSession.category, 1)
        compare(swatches.itemAt(1).border.width, 3)
        select(c, 1)
        keyClick(Qt.Key_1, Qt.ControlModifier)
        compare(boxes()[1][0], 0)
        verify(Qt.colorEqual(child("box1", c).bboxColor, "#e6194b"))
    }

    function test_classFileThatDoesNotParse() {
        testData.writeFile(base + "/data.yaml", "names: [person, car\n")
        openDataset()
        const error = child("lblClassError")
        verify(error.visible)
        verify(error.text.startsWith("Could not read the class names in " + base + "/data.yaml: "), error.text)
        compare(testData.readFile(base + "/data.yaml"), "names: [person, car\n")
        // The window falls back to the one built-in category, 1.
        compare(String(child("box0", cell("a")).bboxColor), "#000000")
        compare(child("rptCategories").count, 1)
    }

    function test_missingAndUnreadable_data() {
        return [
            { tag: "picture", name: "a", mark: "" },
            { tag: "cut off", name: "b", mark: "unreadable image" },
            { tag: "png", name: "c", mark: "" },
            { tag: "missing", name: "d", mark: "missing image" },
        ]
    }

    function test_missingAndUnreadable(data) {
        openDataset()
        const c = cell(data.name)
        const image = child("image", c)
        tryVerify(function () { return image.status === Image.Ready || image.status === Image.Error }, 5000)
        const mark = child("lblImageProblem", c)
        compare(mark.visible, data.mark.length > 0)
        if (data.mark.length > 0)
            compare(mark.text, data.mark)
        else
            verify(image.paintedWidth > 0)
    }
}
