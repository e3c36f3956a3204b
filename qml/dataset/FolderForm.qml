import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtQuick.Dialogs 1.0
import Boxmere 1.0

// The folders to load: pictures and label files, typed or chosen, or a data set
// folder whose splits fill both; and Load.
GridLayout {
    id: form

    property alias imagesFolder: txtImgsFolder.text
    property alias labelsFolder: txtRectFolder.text
    // The splits of the data set opened last: {name, images, labels}.
    property var splits: []
    property alias splitIndex: cmbSplit.currentIndex
    // Why the last data set folder had nothing to load.
    property string datasetError: ""

    signal loadRequested()
    signal datasetChosen(string folder)
    signal splitChosen(var split)

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
