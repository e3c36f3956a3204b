import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The editor's keys and mouse gestures, two columns.
Popup {
    id: keyList

    x: (parent.width - width) / 2
    y: (parent.height - height) / 2
    modal: false
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside

    readonly property var keys: [
        [qsTr("Category shortcut"), qsTr("add a box of that category under the pointer")],
        [qsTr("Left drag on the picture"), qsTr("draw a box of the current category (the swatch clicked last)")],
        [qsTr("Shift+left drag, or left drag inside a large box"), qsTr("draw a box there too; near its edges a drag moves the box")],
        [qsTr("Ctrl+category shortcut"), qsTr("give the selected box that category")],
        [qsTr("C, double-click a box"), qsTr("choose a class by name or number: for the selected box, or for drawing")],
        [qsTr("Click a swatch"), qsTr("give the selected box that class, or draw that class")],
        [qsTr("T"), qsTr("show or hide the class tags on the boxes")],
        [qsTr("B"), qsTr("show polygons as their bounding boxes, or as polygons again (grid and editor)")],
        [qsTr("P"), qsTr("draw a polygon: click its corners; Enter or a click on the first corner closes it, Esc cancels")],
        [qsTr("Backspace"), qsTr("take back the last corner of the polygon being drawn")],
        [qsTr("Drag a polygon's corner"), qsTr("move that corner; click it and press Del, or Alt+click it, to remove it (three stay)")],
        [qsTr("Double-click a polygon's side"), qsTr("add a corner there")],
        [qsTr("Round handle of a rectangle"), qsTr("turn it; it stays a rectangle")],
        [qsTr("Del"), qsTr("delete the selected box, or the selected corner of a polygon")],
        [qsTr("Arrows, Shift+arrows"), qsTr("move the selected box or polygon by 1 or 10 pixels of the picture")],
        [qsTr("H (held)"), qsTr("hide all boxes")],
        [qsTr("Ctrl+Z"), qsTr("undo")],
        [qsTr("Ctrl+Shift+Z, Ctrl+Y"), qsTr("redo")],
        [qsTr("Click a dashed outline"), qsTr("select that prediction (also where it crosses a label box)")],
        [qsTr("Y"), qsTr("add the selected prediction as a label box of its class")],
        [qsTr("R"), qsTr("give the label box the selected prediction matches or overlaps its box and class")],
        [qsTr("N, Shift+N"), qsTr("next or previous disagreement with the predictions, on into the next image (saves this one if changed)")],
        [qsTr("D, Page Down"), qsTr("next image (saves this one if changed)")],
        [qsTr("A, Page Up"), qsTr("previous image (saves this one if changed)")],
        [qsTr("G, X, E"), qsTr("accept, needs fix, verified empty: mark the image, then the next (also on the grid's current tile)")],
        [qsTr("U"), qsTr("next unreviewed image (also on the grid)")],
        [qsTr("Ctrl+wheel"), qsTr("zoom around the pointer")],
        [qsTr("Middle drag, Space+left drag"), qsTr("pan")],
        [qsTr("F"), qsTr("fit the picture")],
        [qsTr("Ctrl+S"), qsTr("save")],
        [qsTr("Esc"), qsTr("drop the polygon being drawn, else back to the grid, without saving")],
        [qsTr("?"), qsTr("show or hide this list")]
    ]

    // Shortcuts outside the popup on top do not fire while it is open.
    Shortcut {
        sequence: "?"
        enabled: keyList.visible
        onActivated: keyList.close()
    }

    GridLayout {
        columns: 2
        columnSpacing: 16
        Repeater {
            model: keyList.keys.length * 2
            delegate: Label {
                text: keyList.keys[Math.floor(index / 2)][index % 2]
                font.bold: index % 2 === 0
            }
        }
    }
}
