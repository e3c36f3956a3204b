import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Boxmere 1.0

// Asks what to do with changes never saved before they would be lost: save them
// all, discard them, or stay.
Dialog {
    id: dialog

    property int unsaved: 0
    // The files that could not be saved.
    property var failed: []
    // What saving would lose of lines not read whole, one sentence a file; saving
    // them waits for "Save anyway".
    property var losses: []
    // What to do once the changes are saved or discarded; quitting when unset.
    property var then: null

    signal quitRequested()

    function ask(rows, work) {
        then = work
        unsaved = rows
        failed = []
        losses = []
        open()
    }

    function proceed() {
        close()
        const work = then
        then = null
        if (work)
            work()
        else
            quitRequested()
    }

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(parent.width - 40, 480)
    modal: true
    z: 100
    closePolicy: Popup.CloseOnEscape
    title: qsTr("Unsaved changes")

    ColumnLayout {
        anchors.fill: parent
        Label {
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            text: dialog.unsaved === 1 ? qsTr("One image has changes that were never saved.")
                                       : qsTr("%1 images have changes that were never saved.").arg(dialog.unsaved)
        }
        Label {
            objectName: "lblLostLines"
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            visible: dialog.losses.length > 0
            text: dialog.losses.join("\n")
        }
        Label {
            objectName: "lblQuitError"
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            color: "firebrick"
            visible: dialog.failed.length > 0
            text: qsTr("Could not save %1").arg(dialog.failed.join(", "))
        }
    }

    footer: RowLayout {
        Item { Layout.fillWidth: true }
        Button {
            objectName: "btnSaveAll"
            text: dialog.losses.length > 0 ? qsTr("Save anyway") : qsTr("Save all")
            onClicked: {
                if (dialog.losses.length === 0) {
                    dialog.losses = ImageList.lostOnSave()
                    if (dialog.losses.length > 0)
                        return
                }
                dialog.failed = ImageList.saveAll(dialog.losses.length > 0)
                if (dialog.failed.length === 0)
                    dialog.proceed()
            }
        }
        Button {
            objectName: "btnDiscard"
            text: qsTr("Discard")
            onClicked: dialog.proceed()
        }
        Button {
            objectName: "btnCancel"
            text: qsTr("Cancel")
            onClicked: {
                dialog.then = null
                dialog.close()
            }
        }
    }
}
