import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Dialogs 1.0
import Boxmere 1.0

// The "File" menu: picks the file or folder for each conversion and says which one
// was chosen. It converts nothing itself.
Menu {
    id: menu
    title: qsTr("&File")

    // False while a conversion runs.
    property bool idle: true
    // False while the list is empty: there is nothing to export.
    property bool hasRows: false
    // What the conversion chosen last does, for its progress.
    property string taskText: ""

    signal importCoco(string file)
    signal loadJson(string file)
    signal exportJson(string file)
    signal exportYolo(string folder)
    signal exportReport(string file)
    signal quitRequested()
    signal aboutRequested()

    MenuItem {
        objectName: "mnuImportCoco"
        text: qsTr("Import COCO…")
        enabled: menu.idle
        onTriggered: dlgImportCoco.open()
    }
    MenuItem {
        objectName: "mnuLoadJson"
        text: qsTr("Load JSON…")
        enabled: menu.idle
        onTriggered: dlgLoadJson.open()
    }
    MenuSeparator {}
    MenuItem {
        objectName: "mnuExportJson"
        text: qsTr("Export JSON…")
        enabled: menu.idle && menu.hasRows
        onTriggered: dlgExportJson.open()
    }
    MenuItem {
        objectName: "mnuExportYolo"
        text: qsTr("Export YOLO…")
        enabled: menu.idle && menu.hasRows
        onTriggered: dlgExportYolo.open()
    }
    MenuItem {
        objectName: "mnuExportReport"
        text: qsTr("Export review report…")
        enabled: menu.idle && menu.hasRows
        onTriggered: dlgExportReport.open()
    }
    MenuSeparator {}
    MenuItem {
        objectName: "mnuAbout"
        text: qsTr("About")
        onTriggered: menu.aboutRequested()
    }
    MenuItem {
        objectName: "mnuQuit"
        text: qsTr("Quit")
        onTriggered: menu.quitRequested()
    }

    FileDialog {
        id: dlgImportCoco
        title: "Choose a COCO file"
        width: 720
        height: 480
        nameFilters: ["COCO files (*.json)", "All files (*)"]
        selectExisting: true
        onAccepted: {
            const path = Utils.toLocalPath(fileUrl)
            menu.taskText = qsTr("Importing %1").arg(Utils.fileName(path))
            menu.importCoco(path)
        }
    }
    FileDialog {
        id: dlgLoadJson
        title: "Choose an image list"
        width: 720
        height: 480
        nameFilters: ["Image lists (*.json)", "All files (*)"]
        selectExisting: true
        onAccepted: {
            const path = Utils.toLocalPath(fileUrl)
            menu.taskText = qsTr("Loading %1").arg(Utils.fileName(path))
            menu.loadJson(path)
        }
    }
    FileDialog {
        id: dlgExportJson
        title: "Export the image list"
        width: 720
        height: 480
        nameFilters: ["Image lists (*.json)"]
        selectExisting: false
        onAccepted: {
            const path = Utils.toLocalPath(fileUrl)
            menu.taskText = qsTr("Writing %1").arg(Utils.fileName(path))
            menu.exportJson(path)
        }
    }
    FileDialog {
        id: dlgExportYolo
        title: "Choose the folder for the label files"
        width: 720
        height: 480
        selectFolder: true
        selectExisting: true
        onAccepted: {
            const path = Utils.toLocalPath(fileUrl)
            menu.taskText = qsTr("Writing label files into %1").arg(path)
            menu.exportYolo(path)
        }
    }
    FileDialog {
        id: dlgExportReport
        title: "Export a review report of the images shown"
        width: 720
        height: 480
        nameFilters: ["CSV (*.csv)"]
        selectExisting: false
        onAccepted: menu.exportReport(Utils.toLocalPath(fileUrl))
    }
}
