import QtQuick 2.15
import QtQml 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Boxmere 1.0
import "../dialogs"

// The open image over the whole window: the category palette, the picture the open
// tile moves into, and Reset, Save and Close. The image open is the edit session's.
Popup {
    id: overlay

    // {catId, catName, catShortcut, catColor} per category.
    property var categories: []
    // The pictures of the rows before and after the open one, "" for none.
    property var neighbourPaths: []
    // Neighbours' pictures are asked for ahead, so that next and previous find them ready.
    property bool prefetch: true
    property bool thumbnails: true
    readonly property bool editing: EditSession.row >= 0
    // Where the open tile's content goes.
    readonly property EditorStage stage: ctxItems

    signal stepRequested(int delta)
    // ReviewStatus's value for the open image, which then gives way to the next.
    signal reviewRequested(int status)
    signal nextUnreviewedRequested()

    // The row N is on its way to, and which way it steps there, while the image it
    // leaves is saved; null otherwise.
    property var pendingDisagreement: null

    // Over the whole window, menu bar included, which it is as large as.
    parent: Overlay.overlay
    // Takes the keys from a text field of the window, which would swallow the category keys.
    focus: true
    x: (parent.width - width) / 2
    y: (parent.height - height) / 2
    width: parent.width
    height: parent.height
    dim: true
    modal: true
    closePolicy: Popup.NoAutoClose
    visible: editing

    enter: Transition {
        NumberAnimation { property: "y"; from: overlay.height; to: 0; duration: 150; easing.type: Easing.OutExpo }
    }
    exit: Transition {
        NumberAnimation { property: "y"; from: 0; to: overlay.height; duration: 150; easing.type: Easing.InExpo }
    }

    onClosed: {
        ctxItems.spaceHeld = false
        ctxItems.boxesHidden = false
        keyList.close()
        picker.close()
    }

    LoggingCategory {
        id: uiLog
        name: "boxmere.ui"
    }

    function doSave() {
        console.log(uiLog, "Save")
        if (!EditSession.save())
            askToSave(null)
    }

    // After a save stopped because it would lose lines not read whole: saves anyway
    // once the user agrees, then does what the save was for.
    function askToSave(work) {
        const question = EditSession.saveQuestion()
        if (question !== "") {
            dlgSaveAnyway.ask(question, qsTr("Save anyway"), function () {
                if (EditSession.saveAnyway() && work)
                    work()
            })
        }
    }

    // N and Shift+N: the next disagreement of this image, or else the first one (the
    // last going back) of the next shown image with one, saving this one as D does.
    function stepDisagreement(direction) {
        const row = EditSession.stepDisagreement(direction)
        if (row < 0 || row === EditSession.shownRow)
            return
        pendingDisagreement = { row: row, direction: direction }
        overlay.stepRequested(row - EditSession.shownRow)
        // Still here: only a question about saving may take it on.
        if (!dlgSaveAnyway.visible)
            pendingDisagreement = null
    }

    // A category chosen with a box selected relabels the box; without one it is the
    // category of the boxes drawn next.
    function chooseCategory(catId) {
        if (EditSession.selected >= 0)
            EditSession.relabelSelected(catId)
        else
            EditSession.pickCategory(catId)
    }

    function openPicker() {
        const boxes = EditSession.boxes, selected = EditSession.selected >= 0 && boxes
        picker.current = selected ? boxes.data(boxes.index(EditSession.selected, 0), 0) : EditSession.category
        picker.title = selected ? qsTr("Class of the selected box") : qsTr("Class of the boxes drawn next")
        picker.open()
    }

    ClassPicker {
        id: picker
        objectName: "classPicker"
        categories: overlay.categories
        onChosen: overlay.chooseCategory(catId)
    }

    ConfirmDialog {
        id: dlgBoxAsPolygon
        objectName: "dlgBoxAsPolygon"
        title: qsTr("Add a polygon?")
    }
    Connections {
        target: EditSession
        function onBoxAsPolygonAsked() {
            dlgBoxAsPolygon.ask(qsTr("This label file holds only polygons. Add the box as a polygon of four corners?"),
                                qsTr("Add as polygon"), function () { EditSession.addAskedAsPolygon() })
        }
    }

    ConfirmDialog {
        id: dlgSaveAnyway
        objectName: "dlgSaveAnyway"
        title: qsTr("Save anyway?")
        onRejected: overlay.pendingDisagreement = null
    }

    Connections {
        target: EditSession
        function onRowChanged() {
            ctxItems.fit()
            const pending = overlay.pendingDisagreement
            overlay.pendingDisagreement = null
            if (pending && pending.row === EditSession.shownRow)
                EditSession.stepDisagreement(pending.direction)
        }
    }
    Connections {
        target: ctxItems
        function onClassPickerRequested() { overlay.openPicker() }
    }
    Shortcut {
        sequence: "C"
        enabled: overlay.editing
        onActivated: overlay.openPicker()
    }
    Shortcut {
        sequence: "T"
        enabled: overlay.editing
        onActivated: ctxItems.tagsShown = !ctxItems.tagsShown
    }
    Shortcut {
        sequence: "B"
        enabled: overlay.editing
        onActivated: ctxItems.polygonsAsBoxes = !ctxItems.polygonsAsBoxes
    }
    Shortcut {
        sequence: "P"
        enabled: overlay.editing
        onActivated: EditSession.drawingPolygon ? EditSession.cancelDraft() : EditSession.startDraft()
    }
    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: overlay.editing && EditSession.drawingPolygon
        onActivated: EditSession.finishDraft()
    }
    Shortcut {
        sequence: "Backspace"
        enabled: overlay.editing && EditSession.drawingPolygon
        onActivated: EditSession.removeDraftPoint()
    }

    Shortcut {
        sequence: "Y"
        enabled: overlay.editing && !EditSession.drawingPolygon
        onActivated: EditSession.acceptPrediction()
    }
    Shortcut {
        sequence: "R"
        enabled: overlay.editing && !EditSession.drawingPolygon
        onActivated: EditSession.replaceWithPrediction()
    }
    Shortcut {
        sequence: "N"
        enabled: overlay.editing && !EditSession.drawingPolygon
        onActivated: overlay.stepDisagreement(1)
    }
    Shortcut {
        sequence: "Shift+N"
        enabled: overlay.editing && !EditSession.drawingPolygon
        onActivated: overlay.stepDisagreement(-1)
    }

    Shortcut {
        sequences: ["D", "PgDown"]
        enabled: overlay.editing
        onActivated: overlay.stepRequested(1)
    }
    Shortcut {
        sequences: ["A", "PgUp"]
        enabled: overlay.editing
        onActivated: overlay.stepRequested(-1)
    }
    Shortcut {
        sequences: [StandardKey.Undo]
        enabled: overlay.editing
        onActivated: EditSession.undo()
    }
    Shortcut {
        sequences: [StandardKey.Redo]
        enabled: overlay.editing
        onActivated: EditSession.redo()
    }
    Shortcut {
        sequence: "Del"
        enabled: overlay.editing
        onActivated: EditSession.deleteSelected()
    }
    Shortcut {
        sequence: StandardKey.Save
        enabled: overlay.editing
        onActivated: overlay.doSave()
    }
    Shortcut {
        sequence: "Esc"
        enabled: overlay.editing
        onActivated: EditSession.drawingPolygon ? EditSession.cancelDraft() : EditSession.close()
    }
    Repeater {
        // Arrow keys move the selected box by one pixel of the picture, ten with Shift.
        model: [
            { keys: "Left", dx: -1, dy: 0 }, { keys: "Right", dx: 1, dy: 0 },
            { keys: "Up", dx: 0, dy: -1 }, { keys: "Down", dx: 0, dy: 1 },
            { keys: "Shift+Left", dx: -10, dy: 0 }, { keys: "Shift+Right", dx: 10, dy: 0 },
            { keys: "Shift+Up", dx: 0, dy: -10 }, { keys: "Shift+Down", dx: 0, dy: 10 }
        ]
        delegate: Item {
            Shortcut {
                sequence: modelData.keys
                autoRepeat: true
                enabled: overlay.editing
                onActivated: EditSession.moveSelected(modelData.dx, modelData.dy, ctxItems.pictureSize)
            }
        }
    }
    Repeater {
        model: ["G", "X", "E"]
        delegate: Item {
            Shortcut {
                sequence: modelData
                enabled: overlay.editing && !EditSession.drawingPolygon
                onActivated: overlay.reviewRequested(index + 1)
            }
        }
    }
    Shortcut {
        sequence: "U"
        enabled: overlay.editing && !EditSession.drawingPolygon
        onActivated: overlay.nextUnreviewedRequested()
    }
    Shortcut {
        sequence: "F"
        enabled: overlay.editing
        onActivated: ctxItems.fit()
    }
    Shortcut {
        sequence: "?"
        enabled: overlay.editing && !keyList.visible
        onActivated: keyList.open()
    }

    NeighbourPictures {
        paths: overlay.neighbourPaths
        sourceSize: ctxItems.pictureRequest
        active: overlay.prefetch && overlay.thumbnails && overlay.editing
    }

    KeyHelp {
        id: keyList
        objectName: "keyList"
    }

    ColumnLayout {
        anchors.fill: parent
        // Takes the keys that are held rather than pressed.
        focus: true

        Keys.onPressed: {
            if (event.isAutoRepeat)
                return
            if (event.key === Qt.Key_H && event.modifiers === Qt.NoModifier) {
                ctxItems.boxesHidden = true
                event.accepted = true
            } else if (event.key === Qt.Key_Space) {
                ctxItems.spaceHeld = true
                event.accepted = true
            }
        }
        Keys.onReleased: {
            if (event.isAutoRepeat)
                return
            if (event.key === Qt.Key_H) {
                ctxItems.boxesHidden = false
                event.accepted = true
            } else if (event.key === Qt.Key_Space) {
                ctxItems.spaceHeld = false
                event.accepted = true
            }
        }

        CategoryPalette {
            objectName: "palette"
            Layout.fillWidth: true
            categories: overlay.categories
            current: EditSession.category
            shortcutsEnabled: overlay.editing
            onPicked: overlay.chooseCategory(catId)
            onAddRequested: {
                console.log(uiLog, "Activated " + name)
                EditSession.addBox(catId, ctxItems.pointer(), ctxItems.pictureSize)
            }
            onRelabelRequested: EditSession.relabelSelected(catId)

            // A gap after the swatches.
            Item {}
            ZoomLabel {
                objectName: "lblZoom"
                zoom: ctxItems.zoom
            }
            Button {
                objectName: "btnKeys"
                text: qsTr("Keys (?)")
                focusPolicy: Qt.NoFocus
                flat: true
                onClicked: keyList.open()
            }
        }

        EditorStage {
            id: ctxItems
            objectName: "ctxItems"
            Layout.fillWidth: true
            Layout.fillHeight: true

            Label {
                objectName: "lblDrawing"
                anchors.horizontalCenter: parent.horizontalCenter
                anchors.top: parent.top
                anchors.topMargin: 4
                z: 10
                visible: EditSession.drawingPolygon
                text: qsTr("Drawing a polygon: click its corners; Enter or a click on the first corner closes it, Backspace takes back a corner, Esc cancels")
                color: "white"
                padding: 4
                background: Rectangle { color: "#c0000000"; radius: 3 }
            }
        }

        EditorButtons {
            canSave: EditSession.canSave
            saveError: EditSession.saveError
            saveNote: EditSession.saveNote
            hint: EditSession.hint
            onResetClicked: EditSession.reset()
            onSaveClicked: overlay.doSave()
            onCloseClicked: EditSession.close()
        }
    }
}
