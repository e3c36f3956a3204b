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
                root.taskText = qsTr("Importing %1").arg(Utils.fileName(file))
                Conversion.importCoco(file)
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
        DatasetLoader.load(txtRectFolder.text, txtImgsFolder.text)
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

    // What the last load found, counts of what does not match up included.
    function loadSummary(rows) {
        const parts = [qsTr("%1 label files").arg(formatCount(rows)),
                       qsTr("%1 without an image").arg(formatCount(DatasetLoader.labelsWithoutImage)),
                       qsTr("%1 images without a label file").arg(formatCount(DatasetLoader.imagesWithoutLabel)),
                       qsTr("%1 boxes of a class not in the list").arg(formatCount(DatasetLoader.unknownClassBoxes))]
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
                        statsPanel.extraProblems = { "no-label": DatasetLoader.loaded ? DatasetLoader.imagesWithoutLabel : 0 }
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

                                anchors.left: parent.left
                                anchors.right: parent.right
                                anchors.top: parent.top
                                anchors.bottom: parent.bottom
                                border.width: 1
                                border.color: "gray"
                                state: "multiple"

                                function reset() {
                                    ableToSave = false
                                    saveError = ""
                                    ImageList.yoloReloadRow(imgRow)
                                }

                                function save() {
                                    if (imgBBoxes.saveTxtFile(yoloTxtFilePath)) {
                                        ableToSave = false
                                        saveError = ""
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

                                onStateChanged: {
                                    if (state === "multiple") {
                                        btnGroupSelected.checkedButton = null
                                        saveError = ""
                                    } else if (imgBBoxes.lastReadWhole()) {
                                        // Opening writes the label file in the tool's own layout,
                                        // unless that would drop lines it could not read whole.
                                        save()
                                    }
                                }

                                states: State {
                                    name: "single"
                                    ParentChange { target: rcDelegate; parent: ctxItems }
                                }

                                Item {
                                    anchors.fill: parent
                                    anchors.margins: 1

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
                                        acceptedButtons: Qt.LeftButton | Qt.RightButton
                                        hoverEnabled: true
                                        onClicked: {
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

                                        Repeater {
                                            model: imgBBoxes
                                            delegate: BBox {
                                                id: box
                                                objectName: "box" + index
                                                property real bwidth: cw * rcContent.width
                                                property real bheight: ch * rcContent.height
                                                property real bx: cx * rcContent.width - bwidth / 2
                                                property real by: cy * rcContent.height - bheight / 2

                                                x: bx
                                                y: by
                                                width: bwidth
                                                height: bheight
                                                xMax: rcContent.width
                                                yMax: rcContent.height
                                                iCx: cx
                                                iCy: cy
                                                iCw: cw
                                                iCh: ch
                                                enabled: rcDelegate.state === "single"
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
                                                onDimensionsChanged: {
                                                    rcDelegate.ableToSave = true
                                                    model.cx = newCx
                                                    model.cy = newCy
                                                    model.cw = newCw
                                                    model.ch = newCh
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
        visible: ctxItems.children.length > 0

        enter: Transition {
            NumberAnimation { property: "y"; from: root.height; to: 0; duration: 150; easing.type: Easing.OutExpo }
        }
        exit: Transition {
            NumberAnimation { property: "y"; from: 0; to: root.height; duration: 150; easing.type: Easing.InExpo }
        }

        function doSave() {
            console.log("Save")
            console.assert(ctxItems.children.length === 1)
            if (ctxItems.children.length > 0)
                ctxItems.children[0].save()
        }

        ColumnLayout {
            anchors.fill: parent

            Flow {
                Layout.fillWidth: true
                spacing: 4
                Repeater {
                    model: lstCategories
                    delegate: Rectangle {
                        implicitWidth: 20
                        implicitHeight: 20
                        color: catColor
                        border.width: 1
                        border.color: "black"

                        Label {
                            anchors.centerIn: parent
                            text: catShortcut
                            color: Utils.invertColor(catColor)
                        }
                        MouseArea {
                            id: mouseCat
                            anchors.fill: parent
                            hoverEnabled: true
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
                    }
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
                    enabled: parent.canSave
                    onClicked: {
                        console.assert(ctxItems.children.length === 1)
                        ctxItems.children[0].reset()
                    }
                }
                Button {
                    objectName: "btnSave"
                    text: qsTr("Save")
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
