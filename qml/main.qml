import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Qt.labs.settings 1.0
import Boxmere 1.0
import "conversion"
import "dataset"
import "dialogs"
import "editor"
import "grid"
import "review"

ApplicationWindow {
    id: root
    visible: true
    width: 640
    height: 480
    title: qsTr("Annotator")

    // Set once the user chose how to leave with unsaved changes; the next close goes through.
    property bool quitConfirmed: false
    // Pictures come decoded at the size shown, off the GUI thread. False loads them
    // whole and synchronously, which only the grid benchmark uses, for comparison.
    property bool thumbnails: true

    Settings {
        category: "window"
        property alias width: root.width
        property alias height: root.height
        property alias columns: reviewBar.gridColumns
    }

    Component.onCompleted: {
        folders.predictionsFolder = DatasetLoader.startPredictions
        if (DatasetLoader.startFolder.length > 0)
            openDataset(DatasetLoader.startFolder, DatasetLoader.startLabels, DatasetLoader.startImages)
    }

    // Beside the menu's "Quit": a menu's own shortcuts act only while it is open. The
    // platforms' quit key where they have one (Cmd+Q on macOS), also where the theme names none.
    Shortcut {
        sequence: "Ctrl+Q"
        onActivated: root.close()
    }
    // The editor has its own while it is open.
    Shortcut {
        sequence: "B"
        enabled: !editor.editing
        onActivated: editor.stage.polygonsAsBoxes = !editor.stage.polygonsAsBoxes
    }

    Connections {
        target: DatasetLoader
        function onFinished(cancelled) {
            if (!cancelled && DatasetLoader.classCandidates.length > 1)
                dlgClassFile.ask(DatasetLoader.classCandidates)
        }
    }
    Connections {
        target: Conversion
        function onRleMasksFound(file, masks) {
            dlgConfirm.ask(qsTr("%1 annotations of %2 are RLE masks, which Boxmere does not support. Import the rest without them?")
                           .arg(masks).arg(Utils.fileName(file)), qsTr("Import without them"),
                           function () { Conversion.importCoco(file, true) })
        }
        // The folder fields no longer name what the list holds.
        function onListReplaced() {
            folders.labelsFolder = folders.imagesFolder = folders.predictionsFolder = ""
            folders.splits = []
        }
    }

    onClosing: {
        if (quitConfirmed) {
            quitConfirmed = false
            return
        }
        const rows = ImageList.unsavedRows()
        if (rows.length === 0 && ReviewStatus.unsaved) {
            close.accepted = false
            dlgConfirm.ask(qsTr("Review statuses changed since the status file could not be read or written are not saved. Quit without them?"),
                           qsTr("Quit"), function () { root.quitConfirmed = true; root.close() })
        }
        if (rows.length === 0)
            return
        close.accepted = false
        dlgQuit.ask(rows.length, null)
    }

    // The categories by number, made once for every box that looks one up.
    readonly property var categoryById: {
        const byId = {}
        for (const category of DatasetLoader.categories)
            byId[category.catId] = category
        return byId
    }

    // The colour of a category number, black for one that is not in the list.
    function categoryColor(catId) {
        const category = categoryById[catId]
        return category ? category.catColor : "black"
    }

    // A box's tag: its class name, or its number when the class has none or is not in the list.
    function categoryTag(catId) {
        const category = categoryById[catId]
        return category ? category.catName : String(catId)
    }

    function categoryName(catId) {
        const category = categoryById[catId]
        return category ? category.catName : qsTr("class %1").arg(catId)
    }

    // Runs work that replaces the list once no row holds unsaved changes, or the user
    // chose to save or discard them.
    function whenSaved(work) {
        const rows = ImageList.unsavedRows()
        if (rows.length === 0)
            work()
        else
            dlgQuit.ask(rows.length, work)
    }

    function load() {
        const labels = folders.labelsFolder, images = folders.imagesFolder, predictions = folders.predictionsFolder
        whenSaved(function () { DatasetLoader.load(labels, images, predictions) })
    }

    // Takes file as the class file of the label folder's data set, now and later, and loads again.
    function chooseClassFile(file) {
        DatasetLoader.chooseClassFile(folders.labelsFolder, file)
        load()
    }

    // Opens the data set's first split, or the one of label folder labels with its
    // pictures in images when that is one of them (the last session's).
    function openDataset(folder, labels, images) {
        const splits = DatasetLoader.splits(folder)
        folders.splits = splits
        if (splits.length === 0) {
            folders.datasetError = qsTr("%1 holds no images and labels folders").arg(folder)
            return
        }
        folders.datasetError = ""
        const index = Math.max(0, splits.findIndex(function (split) { return split.labels === labels }))
        folders.splitIndex = index
        openSplit(splits[index].labels === labels && images ? {labels: labels, images: images} : splits[index])
    }

    // Fills both folder fields from a data set split and loads it.
    function openSplit(split) {
        folders.imagesFolder = split.images
        folders.labelsFolder = split.labels
        load()
    }

    // Moves the editor delta rows on, saving the image it leaves when it has changes.
    function step(delta) {
        stepTo(EditSession.stepTarget(delta))
    }

    function stepTo(row) {
        if (row < 0 || row === EditSession.shownRow)
            return
        const go = function () {
            grid.positionViewAtIndex(row, GridView.Contain)
            EditSession.open(row)
        }
        if (EditSession.saveBeforeLeaving())
            go()
        else
            editor.askToSave(go)
    }

    menuBar: MenuBar {
        FileMenu {
            id: fileMenu
            objectName: "mnuFile"
            idle: !Conversion.busy && !DatasetLoader.busy
            hasRows: ImageFilter.total > 0
            onImportCoco: root.whenSaved(function () { Conversion.importCoco(file) })
            onLoadJson: Conversion.loadJson(file)
            onExportJson: Conversion.exportJson(file)
            onExportReport: Conversion.showReport(ImageFilter.saveReport(file), file, ImageFilter.count)
            onQuitRequested: root.close()
            onAboutRequested: dlgAbout.open()
            onExportYolo: {
                const replaced = Conversion.labelFilesToReplace(folder)
                const work = function () { Conversion.exportYolo(folder) }
                if (replaced > 0)
                    dlgConfirm.ask(qsTr("Replace %1 existing label files in %2?").arg(replaced).arg(folder),
                                   qsTr("Replace"), work)
                else
                    work()
            }
        }
    }

    TaskProgress {
        objectName: "taskProgress"
        running: Conversion.busy
        showProgress: Conversion.showProgress
        done: Conversion.done
        total: Conversion.total
        text: fileMenu.taskText
    }

    StatsPanel {
        id: statsPanel
        objectName: "statsPanel"
        className: root.categoryName
        saveCsv: function (file) {
            const split = folders.splits[folders.splitIndex]
            return ImageFilter.saveStatistics(file, DatasetLoader.categories, split ? split.name : "")
        }
    }

    MetricsPanel {
        id: metricsPanel
        objectName: "metricsPanel"
        metrics: PredictionMetrics
        className: root.categoryName
        confidence: PredictionMatcher.confidence
        iou: PredictionMatcher.iou
        onConfidenceMoved: PredictionMatcher.confidence = value
        onIouMoved: PredictionMatcher.iou = value
        backgroundClass: ImageFilter.background
        onCellClicked: {
            ImageFilter.setConfusionFilter(labelClass, predictedClass)
            close()
        }
    }
    // The figures follow the thresholds only while they are shown.
    Binding { target: PredictionMetrics; property: "active"; value: metricsPanel.visible }

    Pane {
        anchors.fill: parent

        ColumnLayout {
            anchors.fill: parent

            GroupBox {
                Layout.fillWidth: true

                ColumnLayout {
                    anchors.fill: parent

                    FolderForm {
                        id: folders
                        objectName: "folderForm"
                        Layout.fillWidth: true
                        onLoadRequested: root.load()
                        onDatasetChosen: root.openDataset(folder)
                        onSplitChosen: root.openSplit(split)
                        classFile: DatasetLoader.classFile
                        onClassFileChosen: root.chooseClassFile(file)
                    }
                    LoadProgress {
                        objectName: "rowProgress"
                        Layout.fillWidth: true
                        visible: DatasetLoader.showProgress
                        done: DatasetLoader.done
                        total: DatasetLoader.total
                        onCancelClicked: DatasetLoader.cancel()
                    }
                    LoadSummary {
                        objectName: "loadSummary"
                        Layout.fillWidth: true
                        loaded: DatasetLoader.loaded
                        rows: ImageFilter.total
                        labelsWithoutImage: DatasetLoader.labelsWithoutImage
                        imagesWithoutLabel: DatasetLoader.imagesWithoutLabel
                        unknownClassBoxes: DatasetLoader.unknownClassBoxes
                        predictionFiles: DatasetLoader.predictionFiles
                        predictionsWithoutImage: DatasetLoader.predictionsWithoutImage
                        unreadablePredictionFiles: DatasetLoader.unreadablePredictionFiles
                        badPredictionLines: DatasetLoader.badPredictionLines
                        predictionsFromResults: DatasetLoader.predictionsFromResults
                        predictionError: DatasetLoader.predictionError
                        classFile: DatasetLoader.classFile
                        classError: DatasetLoader.classError
                        classNotice: DatasetLoader.classNotice
                        classCandidates: DatasetLoader.classCandidates.length
                        conversionMessage: Conversion.message
                        conversionFailed: Conversion.failed
                        loadError: DatasetLoader.loadError
                    }
                    TrashNotice {
                        Layout.fillWidth: true
                        file: ImageList.trashedFile
                        onUndoClicked: ImageList.restoreTrashed()
                    }
                }
            }

            ReviewBar {
                id: reviewBar
                Layout.fillWidth: true
                className: root.categoryName
                onGoTo: grid.positionViewAtIndex(row, GridView.Beginning)
                onMetricsRequested: metricsPanel.open()
                onStatisticsRequested: {
                    statsPanel.stats = ImageFilter.statistics()
                    statsPanel.open()
                }
            }

            Rectangle {
                Layout.fillWidth: true
                Layout.fillHeight: true
                border.width: 1
                border.color: "gray"

                ImageGrid {
                    id: grid
                    objectName: "gridImages"
                    anchors.fill: parent
                    anchors.margins: 1
                    numCols: reviewBar.gridColumns
                    thumbnails: root.thumbnails
                    openRow: EditSession.row
                    openShownRow: EditSession.shownRow
                    openBlocked: DatasetLoader.busy
                    stage: editor.stage
                    colorOf: root.categoryColor
                    nameOf: root.categoryTag
                    onOpenRequested: EditSession.open(row)
                    onStatusRequested: ReviewStatus.setStatus(row, status)
                    onRemoveRequested: {
                        // Where there is no trash to take it back from, the file goes for good.
                        const file = ImageList.labelFilePathAt(row)
                        if (!ImageList.trashRow(row) && Utils.fileExists(file))
                            dlgConfirm.ask(qsTr("Delete %1 for good?").arg(Utils.fileName(file)), qsTr("Delete"),
                                           function () { ImageList.removeRow(row) })
                    }
                }
            }
        }
    }

    UnsavedChangesDialog {
        id: dlgQuit
        objectName: "dlgQuit"
        onQuitRequested: {
            root.quitConfirmed = true
            root.close()
        }
    }

    ClassFileDialog {
        id: dlgClassFile
        objectName: "dlgClassFile"
        onChosen: root.chooseClassFile(file)
    }

    ConfirmDialog {
        id: dlgConfirm
        objectName: "dlgConfirm"
    }

    AboutDialog {
        id: dlgAbout
        objectName: "dlgAbout"
        version: Utils.version
        qtVersion: Utils.qtVersion
    }

    EditorOverlay {
        id: editor
        objectName: "popControl"
        categories: DatasetLoader.categories
        thumbnails: root.thumbnails
        neighbourPaths: [EditSession.shownRow - 1, EditSession.shownRow + 1].map(function (row) {
            return EditSession.shownRow >= 0 && row >= 0 && row < ImageFilter.count
                    ? ImageList.filePathAt(ImageFilter.sourceRow(row)) : ""
        })
        onStepRequested: root.step(delta)
        onReviewRequested: {
            ReviewStatus.setStatus(EditSession.row, status)
            root.step(1)
        }
        onNextUnreviewedRequested: root.stepTo(ImageFilter.nextUnreviewed(EditSession.shownRow))
    }
}
