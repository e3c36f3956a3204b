import QtQuick 2.15
import QtQuick.Window 2.15
import QtTest 1.15
import Boxmere 1.0

// Data set folders in the window: "Open dataset…" with its splits, class names from
// data.yaml, and tiles whose picture is missing or cut off.
TestCase {
    name: "Dataset"
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
        base = testData.makeDataset()
        verify(base.length > 0, "the photos of labelme-examples are installed")
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

    function waitForLoad() {
        tryVerify(function () { return !DatasetLoader.busy })
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

    function test_openDataset() {
        win.openDataset(base)
        waitForLoad()
        const split = child("cmbSplit")
        verify(split.visible)
        compare(split.count, 2)
        compare(split.currentText, "train")
        compare(child("txtImgsFolder").text, base + "/images/train")
        compare(child("txtRectFolder").text, base + "/labels/train")
        compare(child("gridImages").count, 5)
        compare(child("lblLoadSummary").text,
                "5 images · 1 label file without an image · 1 image without a label file · "
                + "1 box of a class not in the list · classes from data.yaml")

        // The other split, picked from the keyboard.
        split.forceActiveFocus()
        keyClick(Qt.Key_Down)
        waitForLoad()
        compare(split.currentText, "val")
        compare(child("txtImgsFolder").text, base + "/images/val")
        compare(child("gridImages").count, 1)
        verify(cell("v"))
    }

    // A picture without a label file is a row to label; its file comes with the first save.
    function test_pictureWithoutLabelFile() {
        win.openDataset(base)
        waitForLoad()
        const c = cell("e")
        verify(c)
        compare(child("problemMark", c).text, "⚠ 1")
        const image = child("image", c)
        tryVerify(function () { return image.status === Image.Ready }, 5000)
        mouseClick(c)
        tryVerify(function () { return child("popControl").opened })
        verify(!testData.exists(base + "/labels/train/e.txt"), "opening writes no label file")
        const area = child("mouseFull", c)
        mouseMove(area, area.width / 2, area.height / 2)
        keyClick(Qt.Key_2)
        keySequence(StandardKey.Save)
        compare(testData.readFile(base + "/labels/train/e.txt"), "1 0.5 0.5 0.1 0.1")
        verify(!child("problemMark", c).visible)
        c.state = "multiple"
        tryVerify(function () { return !child("popControl").visible })
    }

    function test_notADataset() {
        win.openDataset(base + "/images")
        verify(child("lblDatasetError").visible)
        compare(child("lblDatasetError").text, base + "/images holds no images and labels folders")
        verify(!child("cmbSplit").visible)
        win.openDataset(base)
        waitForLoad()
        verify(!child("lblDatasetError").visible)
    }

    function test_classNames() {
        win.openDataset(base)
        waitForLoad()
        const c = cell("c")
        verify(c)
        // Boxes take their class's colour; class 5 is not in the list and is black.
        const colours = [child("box0", c).bboxColor, child("box1", c).bboxColor, child("box2", c).bboxColor]
        compare(colours.map(String), ["#e6194b", "#3cb44b", "#000000"])

        mouseClick(c)
        tryVerify(function () { return child("popControl").opened })
        const popup = child("popControl")
        verify(findText(popup.contentItem, "1"))
        verify(findText(popup.contentItem, "2"))
        verify(!findText(popup.contentItem, "3"))
        c.state = "multiple"
        tryVerify(function () { return !popup.visible })
    }

    function test_classFileThatDoesNotParse() {
        testData.writeFile(base + "/data.yaml", "names: [person, car\n")
        win.openDataset(base)
        waitForLoad()
        const error = child("lblClassError")
        verify(error.visible)
        verify(error.text.startsWith("Could not read the class names in " + base + "/data.yaml: "), error.text)
        compare(testData.readFile(base + "/data.yaml"), "names: [person, car\n")
        // The window falls back to the one built-in category, 1.
        const c = cell("a")
        compare(String(child("box0", c).bboxColor), "#000000")
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
        win.openDataset(base)
        waitForLoad()
        const c = cell(data.name)
        verify(c)
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
