import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtQuick.Dialogs 1.0
import Boxmere 1.0

// The folders to load: pictures and label files, typed or chosen, or a data set
// folder whose splits fill both, and a model's predictions beside them; the class file in use, or one chosen; and Load.
GridLayout {
    id: form

    property alias imagesFolder: txtImgsFolder.text
    property alias labelsFolder: txtRectFolder.text
    // A model's prediction files, "" for none.
    property alias predictionsFolder: txtPredFolder.text
    // The splits of the data set opened last: {name, images, labels}.
    property var splits: []
    property alias splitIndex: cmbSplit.currentIndex
    // Why the last data set folder had nothing to load.
    property string datasetError: ""
    // The class file in use, "" for none.
    property string classFile: ""

    signal loadRequested()
    signal datasetChosen(string folder)
    signal splitChosen(var split)
    signal classFileChosen(string file)

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
            width: 720
            height: 480
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
            width: 720
            height: 480
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

    Label { text: qsTr("Predictions") }
    RowLayout {
        Layout.fillWidth: true
        TextField {
            id: txtPredFolder
            objectName: "txtPredFolder"
            Layout.fillWidth: true
            placeholderText: qsTr("optional: a folder of prediction files or a COCO results file")
        }
        FileDialog {
            id: predFolderChoser
            title: "Choose predictions folder"
            width: 720
            height: 480
            selectFolder: true
            selectMultiple: false
            selectExisting: true
            folder: Utils.toFileUrl(txtPredFolder.text.length > 0 ? txtPredFolder.text : txtRectFolder.text)
            onAccepted: txtPredFolder.text = Utils.toLocalPath(fileUrl)
        }
        FileDialog {
            id: predFileChoser
            title: "Choose a COCO results file"
            width: 720
            height: 480
            selectExisting: true
            nameFilters: [qsTr("COCO results (*.json)"), qsTr("All files (*)")]
            folder: predFolderChoser.folder
            onAccepted: txtPredFolder.text = Utils.toLocalPath(fileUrl)
        }
        Button {
            text: qsTr("Folder")
            onClicked: predFolderChoser.open()
        }
        Button {
            text: qsTr("Results file")
            onClicked: predFileChoser.open()
        }
    }

    Label { text: qsTr("Classes") }
    RowLayout {
        Layout.fillWidth: true
        Label {
            objectName: "lblClassFile"
            Layout.fillWidth: true
            elide: Text.ElideMiddle
            text: form.classFile.length > 0 ? Utils.fileName(form.classFile) : qsTr("none")

            MouseArea {
                id: classHover
                anchors.fill: parent
                hoverEnabled: true
            }
            ToolTip.visible: classHover.containsMouse && form.classFile.length > 0
            ToolTip.text: form.classFile
        }
        FileDialog {
            id: classChoser
            title: "Choose the class file"
            width: 720
            height: 480
            selectExisting: true
            nameFilters: ["Class files (*.txt *.names *.yaml *.yml)", "All files (*)"]
            folder: Utils.toFileUrl(form.classFile.length > 0
                                     ? form.classFile.substring(0, form.classFile.lastIndexOf("/"))
                                     : txtRectFolder.text)
            onAccepted: form.classFileChosen(Utils.toLocalPath(fileUrl))
        }
        Button {
            objectName: "btnClasses"
            text: qsTr("Classes…")
            enabled: txtRectFolder.text.length > 0
            onClicked: classChoser.open()
        }
    }

    RowLayout {
        Layout.columnSpan: 2
        Layout.fillWidth: true

        FileDialog {
            id: dsChoser
            title: "Choose a data set folder"
            width: 720
            height: 480
            selectFolder: true
            selectMultiple: false
            selectExisting: true
            onAccepted: form.datasetChosen(Utils.toLocalPath(fileUrl))
        }
        Button {
            objectName: "btnOpenDataset"
            text: qsTr("Open dataset…")
            onClicked: dsChoser.open()
        }
        ComboBox {
            id: cmbSplit
            objectName: "cmbSplit"
            visible: form.splits.length > 1
            model: form.splits.map(function (split) { return split.name.length > 0 ? split.name : qsTr("(all)") })
            onActivated: form.splitChosen(form.splits[index])
        }
        Label {
            objectName: "lblDatasetError"
            Layout.fillWidth: true
            color: "firebrick"
            elide: Text.ElideMiddle
            text: form.datasetError
            visible: text.length > 0
        }
        Item { Layout.fillWidth: true }
        Button {
            objectName: "btnLoad"
            text: qsTr("Load")
            enabled: txtImgsFolder.text.length > 0 && txtRectFolder.text.length > 0
            onClicked: form.loadRequested()
        }
    }
}
