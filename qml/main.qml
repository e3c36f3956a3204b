import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtQuick.Dialogs 1.0
import Boxmere 1.0

ApplicationWindow {
    id: root
    visible: true
    width: 640
    height: 480
    title: qsTr("Annotator")

    // Set once the user chose how to leave with unsaved changes; the next close goes through.
    property bool quitConfirmed: false

    onClosing: {
        if (quitConfirmed) {
            quitConfirmed = false
            return
        }
        const rows = ImageList.unsavedRows()
        if (rows.length === 0)
            return
        close.accepted = false
        dlgQuit.then = null
        dlgQuit.unsaved = rows.length
        dlgQuit.failed = []
        dlgQuit.open()
    }

    // Pictures come decoded at the size shown, off the GUI thread. False loads them
    // whole and synchronously, which only the grid benchmark uses, for comparison.
    property bool thumbnails: true

    // The colour of a category number, black for one that is not in the list.
    function categoryColor(catId) {
        for (let i = 0; i < lstCategories.count; ++i) {
            const category = lstCategories.get(i)
            if (category.catId === catId)
                return category.catColor
        }
        return "black"
    }

    // Picture sizes are asked for in steps, so that resizing the window does not
    // decode the picture again for every pixel.
    function pictureSize(length) {
        return Math.max(64, Math.ceil(length * Screen.devicePixelRatio / 64) * 64)
    }

    function categoryName(catId) {
        for (let i = 0; i < lstCategories.count; ++i) {
            const category = lstCategories.get(i)
            if (category.catId === catId)
                return category.catName
        }
        return qsTr("class %1").arg(catId)
    }

    // The filter options, each with the number of images it would show.
    function classOptions() {
        const options = [{ value: ImageFilter.anyClass, text: qsTr("All classes") }]
        let current = ImageFilter.classFilter === ImageFilter.anyClass
        for (const entry of ImageFilter.classCounts) {
            options.push({ value: entry.catId, text: "%1 (%2)".arg(categoryName(entry.catId)).arg(entry.rows) })
            current = current || entry.catId === ImageFilter.classFilter
        }
        if (!current)
            options.push({ value: ImageFilter.classFilter, text: "%1 (0)".arg(categoryName(ImageFilter.classFilter)) })
        return options
    }

    function problemOptions() {
        const options = [{ value: "", text: qsTr("All images") }]
        for (const entry of ImageFilter.problemCounts) {
            if (entry.rows > 0 || entry.kind === ImageFilter.problemFilter)
                options.push({ value: entry.kind, text: "%1 (%2)".arg(entry.name).arg(entry.rows) })
        }
        return options
    }

    // The problems of one box of a row, one a line, for its tool tip.
    function boxProblems(problems, box) {
        return problems.filter(function (p) { return p.box === box }).map(function (p) { return p.text }).join("\n")
    }

    // What the running conversion does, for its progress.
    property string taskText: ""

    menuBar: MenuBar {
        FileMenu {
            objectName: "mnuFile"
            idle: !Conversion.busy && !DatasetLoader.busy
            hasRows: ImageFilter.total > 0
            onImportCoco: {
                root.whenSaved(function () {
                    root.taskText = qsTr("Importing %1").arg(Utils.fileName(file))
                    Conversion.importCoco(file)
                })
            }
            onLoadJson: {
                root.taskText = qsTr("Loading %1").arg(Utils.fileName(file))
                Conversion.loadJson(file)
            }
            onExportJson: {
                root.taskText = qsTr("Writing %1").arg(Utils.fileName(file))
                Conversion.exportJson(file)
            }
            onExportYolo: {
                root.taskText = qsTr("Writing label files into %1").arg(folder)
                Conversion.exportYolo(folder)
            }
        }
    }

    TaskProgress {
        objectName: "taskProgress"
        running: Conversion.busy
        showProgress: Conversion.showProgress
        done: Conversion.done
        total: Conversion.total
        text: root.taskText
    }

    StatsPanel {
        id: statsPanel
        objectName: "statsPanel"
        className: root.categoryName
    }

    ListModel {
        id: lstCategories
        ListElement { catId: 1; catName: "People"; catShortcut: "1"; catColor: "blue" }
    }

    // The categories come from the class file of the last load.
    Connections {
        target: DatasetLoader
        function onCategoriesChanged() {
            lstCategories.clear()
            for (const category of DatasetLoader.categories)
                lstCategories.append(category)
        }
    }

    function load() {
        const labels = txtRectFolder.text, images = txtImgsFolder.text
        whenSaved(function () { DatasetLoader.load(labels, images) })
    }

    // Runs work that replaces the list once no row holds unsaved changes, or the user
    // chose to save or discard them.
    function whenSaved(work) {
        const rows = ImageList.unsavedRows()
        if (rows.length === 0) {
            work()
            return
        }
        dlgQuit.then = work
        dlgQuit.unsaved = rows.length
        dlgQuit.failed = []
        dlgQuit.open()
    }

    // Why the last "Open dataset…" found nothing to load.
    property string datasetError: ""

    function openDataset(folder) {
        const splits = DatasetLoader.splits(folder)
        cmbSplit.splits = splits
        if (splits.length === 0) {
            datasetError = qsTr("%1 holds no images and labels folders").arg(folder)
            return
        }
        datasetError = ""
        cmbSplit.currentIndex = 0
        openSplit(splits[0])
    }

    // A count with the locale's digit grouping: 100,000 rather than 100000.
    function formatCount(n) {
        return Number(n).toLocaleString(Qt.locale(), "f", 0)
    }

    // A count with its noun, in the singular for one.
    function counted(n, one, many) {
        return (n === 1 ? one : many).arg(formatCount(n))
    }

    // What the last load found, counts of what does not match up included.
    function loadSummary(rows) {
        const parts = [counted(rows, qsTr("%1 image"), qsTr("%1 images")),
                       counted(DatasetLoader.labelsWithoutImage, qsTr("%1 label file without an image"),
                               qsTr("%1 label files without an image")),
                       counted(DatasetLoader.imagesWithoutLabel, qsTr("%1 image without a label file"),
                               qsTr("%1 images without a label file")),
                       counted(DatasetLoader.unknownClassBoxes, qsTr("%1 box of a class not in the list"),
                               qsTr("%1 boxes of a class not in the list"))]
        parts.push(DatasetLoader.classFile.length > 0 ? qsTr("classes from %1").arg(Utils.fileName(DatasetLoader.classFile))
                                                      : qsTr("no class file"))
        return parts.join(" · ")
    }

    // Fills both folder fields from a data set split and loads it.
    function openSplit(split) {
        txtImgsFolder.text = split.images
        txtRectFolder.text = split.labels
        load()
    }

    ButtonGroup {
        id: btnGroupSelected
    }

    // The context menu of a tile; one for all tiles, so that a tile costs less to make.
    Menu {
        id: ctxMenu
        objectName: "ctxMenu"
        property int row: -1
        MenuItem {
            text: qsTr("Delete")
            onTriggered: ImageList.removeRow(ctxMenu.row)
        }
    }

    Pane {
        anchors.fill: parent

        ColumnLayout {
            anchors.fill: parent

            GroupBox {
                Layout.fillWidth: true

                GridLayout {
                    anchors.fill: parent
                    columns: 2

                    Label { text: qsTr("Images") }
                    RowLayout {
                        Layout.fillWidth: true
                        TextField {
                            id: txtImgsFolder
                            objectName: "txtImgsFolder"
                            Layout.fillWidth: true
                        }
                        FileDialog {
                            id: folderChoser
                            title: "Choose images folder"
                            selectFolder: true
                            selectMultiple: false
                            selectExisting: true
                            folder: Utils.toFileUrl(txtImgsFolder.text)
                            onAccepted: txtImgsFolder.text = Utils.toLocalPath(fileUrl)
                        }
                        Button {
                            text: qsTr("Select")
                            onClicked: folderChoser.open()
                        }
                    }

                    Label { text: qsTr("Rectangles") }
                    RowLayout {
                        Layout.fillWidth: true
                        TextField {
                            id: txtRectFolder
                            objectName: "txtRectFolder"
                            Layout.fillWidth: true
                        }
                        FileDialog {
                            id: rcFolderChoser
                            title: "Choose txt folder"
                            selectFolder: true
                            selectMultiple: false
                            selectExisting: true
                            folder: Utils.toFileUrl(txtRectFolder.text)
                            onAccepted: txtRectFolder.text = Utils.toLocalPath(fileUrl)
                        }
                        Button {
                            text: qsTr("Select")
                            onClicked: rcFolderChoser.open()
                        }
                    }

                    RowLayout {
                        Layout.columnSpan: 2
                        Layout.fillWidth: true

                        FileDialog {
                            id: dsChoser
                            title: "Choose a data set folder"
                            selectFolder: true
                            selectMultiple: false
                            selectExisting: true
                            onAccepted: root.openDataset(Utils.toLocalPath(fileUrl))
                        }
                        Button {
                            objectName: "btnOpenDataset"
                            text: qsTr("Open dataset…")
                            onClicked: dsChoser.open()
                        }
                        ComboBox {
                            id: cmbSplit
                            objectName: "cmbSplit"
                            property var splits: []
                            visible: splits.length > 1
                            model: splits.map(function (split) { return split.name.length > 0 ? split.name : qsTr("(all)") })
                            onActivated: root.openSplit(splits[index])
                        }
                        Label {
                            objectName: "lblDatasetError"
                            Layout.fillWidth: true
                            color: "firebrick"
                            elide: Text.ElideMiddle
                            text: root.datasetError
                            visible: text.length > 0
                        }
                        Item { Layout.fillWidth: true }
                        Button {
                            objectName: "btnLoad"
                            text: qsTr("Load")
                            enabled: txtImgsFolder.text.length > 0 && txtRectFolder.text.length > 0
                            onClicked: root.load()
                        }
                    }

                    // Shown only for a load that takes long enough to wait for.
                    RowLayout {
                        objectName: "rowProgress"
                        Layout.columnSpan: 2
                        Layout.fillWidth: true
                        visible: DatasetLoader.showProgress

                        ProgressBar {
                            objectName: "barProgress"
                            Layout.fillWidth: true
                            from: 0
                            to: Math.max(1, DatasetLoader.total)
                            value: DatasetLoader.done
                            indeterminate: DatasetLoader.total === 0
                        }
                        Label {
                            text: qsTr("%1 of %2 label files").arg(root.formatCount(DatasetLoader.done)).arg(root.formatCount(DatasetLoader.total))
                        }
                        Button {
                            objectName: "btnCancelLoad"
                            text: qsTr("Cancel")
                            onClicked: DatasetLoader.cancel()
                        }
                    }

                    Label {
                        objectName: "lblLoadSummary"
                        Layout.columnSpan: 2
                        Layout.fillWidth: true
                        visible: DatasetLoader.loaded
                        wrapMode: Text.Wrap
                        text: root.loadSummary(ImageFilter.total)
                    }
                    Label {
                        objectName: "lblConversion"
                        Layout.columnSpan: 2
                        Layout.fillWidth: true
                        visible: text.length > 0
                        wrapMode: Text.Wrap
                        color: Conversion.failed ? "firebrick" : palette.text
                        text: Conversion.message
                    }
                    Label {
                        objectName: "lblClassError"
                        Layout.columnSpan: 2
                        Layout.fillWidth: true
                        visible: text.length > 0
                        wrapMode: Text.Wrap
                        color: "firebrick"
                        text: DatasetLoader.classError.length > 0
                              ? qsTr("Could not read the class names in %1: %2. Boxes show their class numbers.")
                                .arg(DatasetLoader.classFile).arg(DatasetLoader.classError)
                              : ""
                    }
                }
            }

            GridLayout {
                Layout.fillWidth: true
                columns: 2

                Label { text: qsTr("Columns") }
                RowLayout {
                    Layout.fillWidth: true
                    SpinBox {
                        id: sldCols
                        objectName: "sldCols"
                        from: 1
                        to: 10
                        value: 4
                    }
                    Item { Layout.fillWidth: true }
                    Label { text: qsTr("Goto") }
                    TextField {
                        id: txtIndex
                        objectName: "txtIndex"
                    }
                    Button {
                        objectName: "btnGo"
                        text: qsTr("Go")
                        onClicked: {
                            const row = parseInt(txtIndex.text)
                            if (!isNaN(row))
                                gridImages.positionViewAtIndex(row, GridView.Beginning)
                        }
                    }
                }

                Label { text: qsTr("Filter") }
                FilterBar {
                    objectName: "filterBar"
                    Layout.fillWidth: true
                    classOptions: lstCategories.count >= 0 ? root.classOptions() : []
                    problemOptions: root.problemOptions()
                    classValue: ImageFilter.classFilter
                    problemValue: ImageFilter.problemFilter
                    shown: ImageFilter.count
                    total: ImageFilter.total
                    onNameEdited: ImageFilter.nameFilter = text
                    onClassChosen: ImageFilter.classFilter = value
                    onProblemChosen: ImageFilter.problemFilter = value
                    onStatisticsRequested: {
                        statsPanel.stats = ImageFilter.statistics()
                        statsPanel.open()
                    }
                }
            }

            Rectangle {
                Layout.fillWidth: true
                Layout.fillHeight: true
                border.width: 1
                border.color: "gray"

                GridView {
                    id: gridImages
                    objectName: "gridImages"
                    property int numCols: Math.ceil(sldCols.value)
                    anchors.fill: parent
                    anchors.margins: 1
                    clip: true
                    // Cells are made as they scroll into view; pictures load off the GUI
                    // thread, so none are made ahead of time (a reset then makes fewer).
                    cacheBuffer: 0
                    // The rows that pass the filters; imgRow is a row's place in ImageList.
                    model: ImageFilter
                    cellWidth: width / numCols
                    cellHeight: cellWidth
                    ScrollBar.vertical: ScrollBar {}

                    delegate: Item {
                        width: gridImages.cellWidth
                        height: gridImages.cellHeight

                        Item {
                            anchors.fill: parent
                            anchors.margins: 2

                            Rectangle {
                                id: rcDelegate
                                objectName: "cell" + index
                                property bool ableToSave: false
                                readonly property var boxList: imgBBoxes
                                readonly property int imageRow: imgRow
                                // What went wrong with the last save, shown in the overlay.
                                property string saveError: ""
                                readonly property int row: index
                                // The size the picture is asked for, which neighbours are fetched at.
                                readonly property size pictureRequest: image.sourceSize
                                // The view of the picture in the overlay: scale, then shift.
                                property real zoom: 1
                                property real panX: 0
                                property real panY: 0
                                clip: state === "single"

                                anchors.left: parent.left
                                anchors.right: parent.right
                                anchors.top: parent.top
                                anchors.bottom: parent.bottom
                                border.width: 1
                                border.color: "gray"
                                state: "multiple"

                                function reset() {
                                    if (!ImageList.yoloReloadRow(imgRow)) {
                                        // The boxes stay as they are rather than go with the file.
                                        saveError = yoloTxtFilePath.length > 0
                                                ? qsTr("Could not read %1").arg(yoloTxtFilePath)
                                                : qsTr("%1 has no label file to read").arg(imgBaseFileName)
                                        return
                                    }
                                    ableToSave = false
                                    saveError = ""
                                }

                                function hasUnsavedChanges() {
                                    return ableToSave || imgBBoxes.modified
                                }

                                // Saves edits before next or previous leaves the image, but never
                                // drops lines of the file that were not read whole: that takes
                                // the user's own Save.
                                function saveBeforeLeaving() {
                                    if (!hasUnsavedChanges())
                                        return true
                                    if (!imgBBoxes.lastReadWhole()) {
                                        saveError = qsTr("%1 holds lines that saving would drop: Save or Reset first")
                                                        .arg(Utils.fileName(yoloTxtFilePath))
                                        return false
                                    }
                                    return save()
                                }

                                function drawBox(from, to) {
                                    const w = rcContent.width, h = rcContent.height
                                    const x0 = Math.min(from.x, to.x), x1 = Math.max(from.x, to.x)
                                    const y0 = Math.min(from.y, to.y), y1 = Math.max(from.y, to.y)
                                    if (w <= 0 || h <= 0 || x1 <= x0 || y1 <= y0)
                                        return
                                    ableToSave = true
                                    imgBBoxes.appendRect(popControl.currentCategory(), (x0 + x1) / 2 / w, (y0 + y1) / 2 / h,
                                                         (x1 - x0) / w, (y1 - y0) / h)
                                }

                                // The selected box of this cell, or null.
                                function selectedBox() {
                                    const button = btnGroupSelected.checkedButton
                                    return button && button.parent && button.parent.parent === rcContent ? button.parent : null
                                }

                                function deleteSelected() {
                                    const box = selectedBox()
                                    if (!box)
                                        return
                                    ableToSave = true
                                    imgBBoxes.deleteRow(box.row)
                                }

                                function relabelSelected(category) {
                                    const box = selectedBox()
                                    if (!box)
                                        return
                                    ableToSave = true
                                    imgBBoxes.relabelRow(box.row, category)
                                }

                                // Moves the selected box by whole pixels of the picture, but
                                // not further out of it than it already is.
                                function moveSelected(dx, dy) {
                                    const box = selectedBox()
                                    if (!box)
                                        return
                                    const size = ImageList.pictureSize(imgRow)
                                    const w = size.width > 0 ? size.width : rcContent.width
                                    const h = size.height > 0 ? size.height : rcContent.height
                                    if (w <= 0 || h <= 0)
                                        return
                                    const shift = function (c, half, d) {
                                        return d > 0 ? Math.min(c + d, Math.max(c, 1 - half))
                                                     : Math.max(c + d, Math.min(c, half))
                                    }
                                    const cx = shift(box.iCx, box.iCw / 2, dx / w)
                                    const cy = shift(box.iCy, box.iCh / 2, dy / h)
                                    if (cx === box.iCx && cy === box.iCy)
                                        return
                                    ableToSave = true
                                    imgBBoxes.setRect(box.row, cx, cy, box.iCw, box.iCh)
                                }

                                function undo() {
                                    if (imgBBoxes.undo())
                                        ableToSave = imgBBoxes.modified
                                }

                                function redo() {
                                    if (imgBBoxes.redo())
                                        ableToSave = imgBBoxes.modified
                                }

                                // Sets the zoom, keeping the point (vx, vy) of the view where it is;
                                // the picture always covers the view.
                                function zoomAt(vx, vy, newZoom) {
                                    newZoom = clamp(newZoom, 1, 32)
                                    const qx = (vx - panX) / zoom, qy = (vy - panY) / zoom
                                    zoom = newZoom
                                    panTo(vx - newZoom * qx, vy - newZoom * qy)
                                }

                                function panTo(x, y) {
                                    panX = clamp(x, rcView.width * (1 - zoom), 0)
                                    panY = clamp(y, rcView.height * (1 - zoom), 0)
                                }

                                function fit() {
                                    zoom = 1
                                    panX = 0
                                    panY = 0
                                }

                                function save() {
                                    if (imgBBoxes.saveTxtFile(yoloTxtFilePath)) {
                                        ableToSave = false
                                        saveError = ""
                                        // A first save gives a picture its label file.
                                        ImageList.checkRow(imgRow)
                                        return true
                                    }
                                    saveError = yoloTxtFilePath.length > 0
                                            ? qsTr("Could not save %1").arg(yoloTxtFilePath)
                                            : qsTr("%1 has no label file to save to").arg(imgBaseFileName)
                                    return false
                                }

                                function clamp(val, min, max) {
                                    return val < min ? min : (val > max ? max : val)
                                }

                                function createNewRC(category) {
                                    // Without a picture there is nothing to place the box on.
                                    if (rcContent.width <= 0 || rcContent.height <= 0)
                                        return
                                    ableToSave = true
                                    const cat = parseInt(category)
                                    const cx = clamp(mouseFull.mouseX - rcContent.x, 0, rcContent.width) / rcContent.width
                                    const cy = clamp(mouseFull.mouseY - rcContent.y, 0, rcContent.height) / rcContent.height
                                    imgBBoxes.appendRow(cat, cx, cy)
                                }

                                // A cell made again after scrolling takes up the edits its list kept.
                                Component.onCompleted: ableToSave = imgBBoxes.modified

                                onStateChanged: {
                                    fit()
                                    if (state === "multiple") {
                                        btnGroupSelected.checkedButton = null
                                        saveError = ""
                                        return
                                    }
                                    imgBBoxes.clearHistory()
                                    if (imgBBoxes.lastReadWhole() && Utils.fileExists(yoloTxtFilePath)) {
                                        // Opening writes the label file in the tool's own layout,
                                        // unless that would drop lines it could not read whole. A
                                        // picture without a label file gets one when it is saved.
                                        save()
                                    }
                                }

                                states: State {
                                    name: "single"
                                    ParentChange { target: rcDelegate; parent: ctxItems }
                                }

                                Item {
                                    id: rcView
                                    anchors.fill: parent
                                    anchors.margins: 1
                                    transform: [
                                        Scale { xScale: rcDelegate.zoom; yScale: rcDelegate.zoom },
                                        Translate { x: rcDelegate.panX; y: rcDelegate.panY }
                                    ]

                                    Shortcut {
                                        sequence: "Esc"
                                        enabled: rcDelegate.state === "single"
                                        onActivated: {
                                            console.assert(rcDelegate.state === "single")
                                            rcDelegate.state = "multiple"
                                        }
                                    }


                                    Image {
                                        id: image
                                        objectName: "image"
                                        anchors.fill: parent
                                        fillMode: Image.PreserveAspectFit
                                        asynchronous: root.thumbnails
                                        // The provider keeps a cache of its own, bounded in size;
                                        // Qt's would hold every picture that scrolled by.
                                        cache: !root.thumbnails
                                        sourceSize: root.thumbnails ? Qt.size(root.pictureSize(width), root.pictureSize(height))
                                                                    : Qt.size(-1, -1)
                                        source: imgFilePath.length === 0 ? ""
                                                : root.thumbnails ? "image://thumbnail/" + Utils.toFileUrl(imgFilePath)
                                                                  : Utils.toFileUrl(imgFilePath)
                                    }

                                    Label {
                                        anchors.left: parent.left
                                        anchors.top: parent.top
                                        anchors.margins: 2
                                        text: "%1".arg(index)
                                    }

                                    // A tile whose labels have problems says how many.
                                    Label {
                                        objectName: "problemMark"
                                        anchors.right: parent.right
                                        anchors.top: parent.top
                                        anchors.margins: 2
                                        visible: imgProblems.length > 0
                                        text: visible ? "⚠ %1".arg(imgProblems.length) : ""
                                        color: "white"
                                        font.bold: true
                                        padding: 2
                                        background: Rectangle { color: "#c000c0"; radius: 3 }
                                    }

                                    Label {
                                        objectName: "lblImageProblem"
                                        anchors.centerIn: parent
                                        // Clear of the caption, which sits at the centre without a picture.
                                        anchors.verticalCenterOffset: -height
                                        visible: image.status === Image.Error || imgFilePath.length === 0
                                        text: visible && Utils.fileExists(imgFilePath) ? qsTr("unreadable image")
                                                                                       : qsTr("missing image")
                                        color: "firebrick"
                                        font.bold: true
                                    }

                                    MouseArea {
                                        id: mouseFull
                                        objectName: "mouseFull"
                                        anchors.fill: parent
                                        acceptedButtons: Qt.LeftButton | Qt.RightButton | Qt.MiddleButton
                                        hoverEnabled: true

                                        // In the overlay a left drag draws a box, a middle drag (or a
                                        // left one with Space held) pans; "" when neither runs.
                                        property string gesture: ""
                                        property point from      // in the picture, or the view for a pan
                                        property point panFrom
                                        property bool moved: false

                                        function inPicture(mouse) {
                                            return Qt.point(rcDelegate.clamp(mouse.x - rcContent.x, 0, rcContent.width),
                                                            rcDelegate.clamp(mouse.y - rcContent.y, 0, rcContent.height))
                                        }

                                        onPressed: {
                                            gesture = ""
                                            moved = false
                                            if (rcDelegate.state !== "single")
                                                return
                                            if (mouse.button === Qt.MiddleButton
                                                    || (mouse.button === Qt.LeftButton && popControl.spaceHeld)) {
                                                gesture = "pan"
                                                from = mapToItem(rcDelegate, mouse.x, mouse.y)
                                                panFrom = Qt.point(rcDelegate.panX, rcDelegate.panY)
                                            } else if (mouse.button === Qt.LeftButton) {
                                                gesture = "draw"
                                                from = inPicture(mouse)
                                            }
                                        }
                                        onPositionChanged: {
                                            if (gesture === "pan") {
                                                const at = mapToItem(rcDelegate, mouse.x, mouse.y)
                                                moved = true
                                                rcDelegate.panTo(panFrom.x + at.x - from.x, panFrom.y + at.y - from.y)
                                            } else if (gesture === "draw") {
                                                const to = inPicture(mouse)
                                                // A few pixels on screen tell a drag from a click.
                                                if (!moved && Math.max(Math.abs(to.x - from.x), Math.abs(to.y - from.y))
                                                        * rcDelegate.zoom < 4)
                                                    return
                                                moved = true
                                                rcBand.x = Math.min(from.x, to.x)
                                                rcBand.y = Math.min(from.y, to.y)
                                                rcBand.width = Math.abs(to.x - from.x)
                                                rcBand.height = Math.abs(to.y - from.y)
                                            }
                                        }
                                        onReleased: {
                                            if (gesture === "draw" && moved)
                                                rcDelegate.drawBox(from, inPicture(mouse))
                                            gesture = ""
                                        }
                                        onCanceled: {
                                            gesture = ""
                                            moved = false
                                        }
                                        onWheel: {
                                            if (rcDelegate.state !== "single" || !(wheel.modifiers & Qt.ControlModifier)) {
                                                wheel.accepted = false
                                                return
                                            }
                                            const at = mapToItem(rcDelegate, wheel.x, wheel.y)
                                            rcDelegate.zoomAt(at.x - rcView.x, at.y - rcView.y,
                                                              rcDelegate.zoom * Math.pow(1.25, wheel.angleDelta.y / 120))
                                        }
                                        onClicked: {
                                            // The end of a drag or a pan, not a click.
                                            if (moved || mouse.button === Qt.MiddleButton)
                                                return
                                            if (mouse.button === Qt.LeftButton) {
                                                if (btnGroupSelected.checkedButton) {
                                                    btnGroupSelected.checkedButton = null
                                                    return
                                                }
                                                // The load's reset would take the open cell away.
                                                if (rcDelegate.state === "single" || DatasetLoader.busy)
                                                    return
                                                console.assert(rcDelegate.state === "multiple")
                                                rcDelegate.state = "single"
                                            } else if (rcDelegate.state === "multiple") {
                                                ctxMenu.row = imgRow
                                                ctxMenu.popup(mouseFull, mouse.x, mouse.y)
                                            }
                                        }
                                    }

                                    Item {
                                        id: rcContent
                                        objectName: "rcContent"
                                        anchors.centerIn: parent
                                        width: image.paintedWidth
                                        height: image.paintedHeight

                                        Label {
                                            anchors.left: parent.left
                                            anchors.top: parent.top
                                            text: imgBaseFileName
                                            color: "white"
                                            style: Label.Outline
                                            styleColor: "black"
                                        }

                                        // The box being drawn.
                                        Rectangle {
                                            id: rcBand
                                            objectName: "rcBand"
                                            visible: mouseFull.gesture === "draw" && mouseFull.moved
                                            color: "transparent"
                                            border.color: root.categoryColor(popControl.currentCategory())
                                            border.width: 1 / rcDelegate.zoom
                                            z: 200
                                        }

                                        Repeater {
                                            objectName: "rptBoxes"
                                            model: imgBBoxes
                                            delegate: BBox {
                                                id: box
                                                objectName: "box" + index
                                                property real bwidth: cw * rcContent.width
                                                property real bheight: ch * rcContent.height
                                                property real bx: cx * rcContent.width - bwidth / 2
                                                property real by: cy * rcContent.height - bheight / 2

                                                readonly property int row: index
                                                x: bx
                                                y: by
                                                width: bwidth
                                                height: bheight
                                                // Handles and lines keep their size on screen at any zoom.
                                                handleSize: 12 / rcDelegate.zoom
                                                lineWidth: 1 / rcDelegate.zoom
                                                visible: !(popControl.boxesHidden && rcDelegate.state === "single")
                                                xMax: rcContent.width
                                                yMax: rcContent.height
                                                iCx: cx
                                                iCy: cy
                                                iCw: cw
                                                iCh: ch
                                                enabled: rcDelegate.state === "single" && !popControl.spaceHeld
                                                bboxColor: root.categoryColor(catId)
                                                selected: btnGroupSelected.checkedButton === rbSelect
                                                z: selected ? 100 : 10

                                                // The box's place in the selection group: a bare
                                                // checkable button, which costs far less to make
                                                // than a styled radio button.
                                                AbstractButton {
                                                    id: rbSelect
                                                    visible: false
                                                    checkable: true
                                                    ButtonGroup.group: btnGroupSelected
                                                }

                                                // Open for editing, a box with problems is ringed and names them.
                                                readonly property string problemText: rcDelegate.state === "single"
                                                                                      ? root.boxProblems(imgProblems, index) : ""
                                                Loader {
                                                    anchors.fill: parent
                                                    active: box.problemText.length > 0
                                                    sourceComponent: ProblemOutline {
                                                        objectName: "problemOutline"
                                                        text: box.problemText
                                                    }
                                                }

                                                onPressed: rbSelect.checked = true
                                                onEditStarted: imgBBoxes.beginEdit()
                                                onEditFinished: imgBBoxes.endEdit()
                                                onDimensionsChanged: {
                                                    rcDelegate.ableToSave = true
                                                    // The four writes are one step to undo.
                                                    imgBBoxes.beginEdit()
                                                    model.cx = newCx
                                                    model.cy = newCy
                                                    model.cw = newCw
                                                    model.ch = newCh
                                                    imgBBoxes.endEdit()
                                                    // A drag of the body moved the box by hand; follow the
                                                    // model again, e.g. when the window is resized.
                                                    x = Qt.binding(function () { return box.bx })
                                                    y = Qt.binding(function () { return box.by })
                                                }
                                                onDeleteRequested: {
                                                    rcDelegate.ableToSave = true
                                                    imgBBoxes.deleteRow(index)
                                                }
                                            }
                                        }
                                    }
                                }
                            }
                        }
                    }
                }
            }
        }
    }

    // Edits of the open image are checked again as they happen.
    Connections {
        target: ctxItems.children.length > 0 ? ctxItems.children[0].boxList : null
        ignoreUnknownSignals: true
        function onDataChanged() { ImageList.checkRow(ctxItems.children[0].imageRow) }
        function onRowsInserted() { ImageList.checkRow(ctxItems.children[0].imageRow) }
        function onRowsRemoved() { ImageList.checkRow(ctxItems.children[0].imageRow) }
        function onModelReset() { ImageList.checkRow(ctxItems.children[0].imageRow) }
    }

    Dialog {
        id: dlgQuit
        objectName: "dlgQuit"
        property int unsaved: 0
        property var failed: []
        parent: Overlay.overlay
        anchors.centerIn: parent
        width: Math.min(root.width - 40, 480)
        modal: true
        z: 100
        closePolicy: Popup.CloseOnEscape
        title: qsTr("Unsaved changes")

        // What to do once the changes are saved or discarded; quitting when unset.
        property var then: null

        function quit() {
            close()
            const work = then
            then = null
            if (work) {
                work()
                return
            }
            root.quitConfirmed = true
            root.close()
        }

        ColumnLayout {
            anchors.fill: parent
            Label {
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                text: dlgQuit.unsaved === 1 ? qsTr("One image has changes that were never saved.")
                                            : qsTr("%1 images have changes that were never saved.").arg(dlgQuit.unsaved)
            }
            Label {
                objectName: "lblQuitError"
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                color: "firebrick"
                visible: dlgQuit.failed.length > 0
                text: qsTr("Could not save %1").arg(dlgQuit.failed.join(", "))
            }
        }

        footer: RowLayout {
            Item { Layout.fillWidth: true }
            Button {
                objectName: "btnSaveAll"
                text: qsTr("Save all")
                onClicked: {
                    dlgQuit.failed = ImageList.saveAll()
                    if (dlgQuit.failed.length === 0)
                        dlgQuit.quit()
                }
            }
            Button {
                objectName: "btnDiscard"
                text: qsTr("Discard")
                onClicked: dlgQuit.quit()
            }
            Button {
                objectName: "btnCancel"
                text: qsTr("Cancel")
                onClicked: {
                    dlgQuit.then = null
                    dlgQuit.close()
                }
            }
        }
    }

    Popup {
        id: popControl
        objectName: "popControl"
        // Over the whole window, menu bar included, which it is as large as.
        parent: Overlay.overlay
        // Takes the keys from a text field of the window, which would swallow the category keys.
        focus: true
        x: (root.width - width) / 2
        y: (root.height - height) / 2
        width: root.width
        height: root.height
        dim: true
        modal: true
        closePolicy: Popup.NoAutoClose
        // Stays up while next or previous swaps one cell for another.
        visible: ctxItems.children.length > 0 || switching

        // The cell being edited, or null.
        readonly property Item cell: ctxItems.children.length > 0 ? ctxItems.children[0] : null
        readonly property bool editing: ctxItems.children.length === 1
        property bool switching: false
        property bool spaceHeld: false
        property bool boxesHidden: false
        // The catId of the swatch clicked last; drawn boxes take it, or the first
        // category when it is not in the list (any more).
        property var pickedCategory: undefined
        // Neighbours' pictures are asked for ahead, so that next and previous find them ready.
        property bool prefetch: true

        enter: Transition {
            NumberAnimation { property: "y"; from: root.height; to: 0; duration: 150; easing.type: Easing.OutExpo }
        }
        exit: Transition {
            NumberAnimation { property: "y"; from: 0; to: root.height; duration: 150; easing.type: Easing.InExpo }
        }

        onClosed: {
            spaceHeld = false
            boxesHidden = false
            keyList.close()
        }

        function doSave() {
            console.log("Save")
            console.assert(ctxItems.children.length === 1)
            if (ctxItems.children.length > 0)
                ctxItems.children[0].save()
        }

        function currentCategory() {
            for (let i = 0; i < lstCategories.count; ++i) {
                if (lstCategories.get(i).catId === pickedCategory)
                    return pickedCategory
            }
            return lstCategories.count > 0 ? lstCategories.get(0).catId : 0
        }

        // The grid cell of a row, if the grid has made it.
        function cellAt(row) {
            const item = gridImages.itemAtIndex(row)
            const find = function (item, depth) {
                if (!item || depth > 3)
                    return null
                if (item.objectName === "cell" + row)
                    return item
                for (let i = 0; i < item.children.length; ++i) {
                    const found = find(item.children[i], depth + 1)
                    if (found)
                        return found
                }
                return null
            }
            return find(item, 0)
        }

        // Moves the overlay delta rows on, saving the image it leaves when it has changes.
        function step(delta) {
            const current = cell
            if (!editing || switching)
                return
            const row = current.row + delta
            if (row < 0 || row >= gridImages.count)
                return
            if (!current.saveBeforeLeaving())
                return
            switching = true
            current.state = "multiple"
            gridImages.positionViewAtIndex(row, GridView.Contain)
            let next = cellAt(row)
            if (!next) {
                gridImages.forceLayout()
                next = cellAt(row)
            }
            if (next)
                next.state = "single"
            switching = false
        }

        Shortcut {
            sequences: ["D", "PgDown"]
            enabled: popControl.editing
            onActivated: popControl.step(1)
        }
        Shortcut {
            sequences: ["A", "PgUp"]
            enabled: popControl.editing
            onActivated: popControl.step(-1)
        }
        Shortcut {
            sequences: [StandardKey.Undo]
            enabled: popControl.editing
            onActivated: popControl.cell.undo()
        }
        Shortcut {
            sequences: [StandardKey.Redo]
            enabled: popControl.editing
            onActivated: popControl.cell.redo()
        }
        Shortcut {
            sequence: "Del"
            enabled: popControl.editing
            onActivated: popControl.cell.deleteSelected()
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
                    enabled: popControl.editing
                    onActivated: popControl.cell.moveSelected(modelData.dx, modelData.dy)
                }
            }
        }
        Shortcut {
            sequence: "F"
            enabled: popControl.editing
            onActivated: popControl.cell.fit()
        }
        Shortcut {
            sequence: "?"
            enabled: popControl.editing && !keyList.visible
            onActivated: keyList.open()
        }

        // The neighbours' pictures, at the size the open one is asked for.
        Repeater {
            model: [-1, 1]
            delegate: Image {
                readonly property int row: popControl.cell ? popControl.cell.row + modelData : -1
                readonly property string path: row >= 0 && row < gridImages.count
                                               ? ImageList.filePathAt(ImageFilter.sourceRow(row)) : ""
                visible: false
                asynchronous: true
                cache: false
                sourceSize: popControl.cell ? popControl.cell.pictureRequest : Qt.size(-1, -1)
                source: popControl.prefetch && root.thumbnails && popControl.editing && path.length > 0
                        && sourceSize.width > 0 ? "image://thumbnail/" + Utils.toFileUrl(path) : ""
            }
        }

        Popup {
            id: keyList
            objectName: "keyList"
            x: (parent.width - width) / 2
            y: (parent.height - height) / 2
            modal: false
            closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside

            readonly property var keys: [
                [qsTr("Category shortcut"), qsTr("add a box of that category under the pointer")],
                [qsTr("Left drag on the picture"), qsTr("draw a box of the current category (the swatch clicked last)")],
                [qsTr("Ctrl+category shortcut"), qsTr("give the selected box that category")],
                [qsTr("Del"), qsTr("delete the selected box")],
                [qsTr("Arrows, Shift+arrows"), qsTr("move the selected box by 1 or 10 pixels of the picture")],
                [qsTr("H (held)"), qsTr("hide all boxes")],
                [qsTr("Ctrl+Z"), qsTr("undo")],
                [qsTr("Ctrl+Shift+Z, Ctrl+Y"), qsTr("redo")],
                [qsTr("D, Page Down"), qsTr("next image (saves this one if changed)")],
                [qsTr("A, Page Up"), qsTr("previous image (saves this one if changed)")],
                [qsTr("Ctrl+wheel"), qsTr("zoom around the pointer")],
                [qsTr("Middle drag, Space+left drag"), qsTr("pan")],
                [qsTr("F"), qsTr("fit the picture")],
                [qsTr("Ctrl+S"), qsTr("save")],
                [qsTr("Esc"), qsTr("back to the grid, without saving")],
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

        ColumnLayout {
            anchors.fill: parent
            // Takes the keys that are held rather than pressed.
            focus: true

            Keys.onPressed: {
                if (event.isAutoRepeat)
                    return
                if (event.key === Qt.Key_H && event.modifiers === Qt.NoModifier) {
                    popControl.boxesHidden = true
                    event.accepted = true
                } else if (event.key === Qt.Key_Space) {
                    popControl.spaceHeld = true
                    event.accepted = true
                }
            }
            Keys.onReleased: {
                if (event.isAutoRepeat)
                    return
                if (event.key === Qt.Key_H) {
                    popControl.boxesHidden = false
                    event.accepted = true
                } else if (event.key === Qt.Key_Space) {
                    popControl.spaceHeld = false
                    event.accepted = true
                }
            }

            Flow {
                Layout.fillWidth: true
                spacing: 4
                Repeater {
                    objectName: "rptCategories"
                    model: lstCategories
                    delegate: Rectangle {
                        implicitWidth: 20
                        implicitHeight: 20
                        color: catColor
                        // The category of drawn boxes has a thicker frame.
                        border.width: catId === popControl.currentCategory() ? 3 : 1
                        border.color: "black"

                        Label {
                            anchors.centerIn: parent
                            text: catShortcut
                            color: Utils.invertColor(catColor)
                        }
                        MouseArea {
                            id: mouseCat
                            objectName: "mouseCat" + catId
                            anchors.fill: parent
                            hoverEnabled: true
                            onClicked: popControl.pickedCategory = catId
                        }
                        ToolTip.visible: mouseCat.containsMouse
                        ToolTip.text: "(%1) %2".arg(catShortcut).arg(catName)

                        Shortcut {
                            sequence: catShortcut
                            enabled: ctxItems.children.length === 1
                            onActivated: {
                                console.log("Activated " + catName)
                                console.assert(ctxItems.children.length > 0)
                                ctxItems.children[0].createNewRC(catId)
                            }
                        }
                        Shortcut {
                            sequence: catShortcut.length > 0 ? "Ctrl+" + catShortcut : ""
                            enabled: popControl.editing && catShortcut.length > 0
                            onActivated: popControl.cell.relabelSelected(catId)
                        }
                    }
                }
                Item { Layout.fillWidth: true }
                Label {
                    objectName: "lblZoom"
                    visible: popControl.cell !== null && popControl.cell.zoom !== 1
                    text: popControl.cell ? "%1 %".arg(Math.round(popControl.cell.zoom * 100)) : ""
                }
                Button {
                    objectName: "btnKeys"
                    text: qsTr("Keys (?)")
                    focusPolicy: Qt.NoFocus
                    flat: true
                    onClicked: keyList.open()
                }
            }

            Item {
                id: ctxItems
                objectName: "ctxItems"
                Layout.fillWidth: true
                Layout.fillHeight: true
            }

            RowLayout {
                readonly property bool canSave: ctxItems.children.length > 0 && ctxItems.children[0].ableToSave

                Button {
                    objectName: "btnReset"
                    text: qsTr("Reset")
                    // Space pans the picture; it must not press a button that has focus.
                    focusPolicy: Qt.NoFocus
                    enabled: parent.canSave
                    onClicked: {
                        console.assert(ctxItems.children.length === 1)
                        ctxItems.children[0].reset()
                    }
                }
                Button {
                    objectName: "btnSave"
                    text: qsTr("Save")
                    focusPolicy: Qt.NoFocus
                    enabled: parent.canSave
                    onClicked: popControl.doSave()
                }
                Label {
                    objectName: "lblSaveError"
                    Layout.fillWidth: true
                    color: "firebrick"
                    elide: Text.ElideMiddle
                    text: ctxItems.children.length > 0 ? ctxItems.children[0].saveError : ""
                }
                Button {
                    objectName: "btnClose"
                    text: qsTr("Close")
                    focusPolicy: Qt.NoFocus
                    onClicked: {
                        if (ctxItems.children.length > 0)
                            ctxItems.children[0].state = "multiple"
                        popControl.close()
                    }
                }
                Shortcut {
                    sequence: StandardKey.Save
                    enabled: ctxItems.children.length === 1
                    onActivated: popControl.doSave()
                }
            }
        }
    }
}
