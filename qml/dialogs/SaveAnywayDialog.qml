import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Asks before a save writes lines that were not read whole as plain boxes, or drops
// them; the question names the file and what it would lose.
Dialog {
    id: dialog

    property string question: ""
    // What saving anyway does, once the user agreed.
    property var then: null

    function ask(text, work) {
        question = text
        then = work
        open()
    }

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(parent.width - 40, 480)
    modal: true
    z: 100
    closePolicy: Popup.CloseOnEscape
    title: qsTr("Save anyway?")

    Label {
        objectName: "lblSaveQuestion"
        width: dialog.availableWidth
        wrapMode: Text.Wrap
        text: dialog.question
    }

    footer: RowLayout {
        Item { Layout.fillWidth: true }
        Button {
            objectName: "btnSaveAnyway"
            text: qsTr("Save anyway")
            onClicked: {
                const work = dialog.then
                dialog.then = null
                dialog.close()
                if (work)
                    work()
            }
        }
        Button {
            objectName: "btnKeepLines"
            text: qsTr("Cancel")
            onClicked: {
                dialog.then = null
                dialog.close()
            }
        }
    }
}
