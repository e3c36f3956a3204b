import QtQuick 2.15
import QtQuick.Controls 2.15

// Asks before something that cannot be taken back or loses what was read: the
// action's own button, or "Cancel".
Dialog {
    id: dialog

    property string text: ""
    property string actionText: ""
    property var then: null

    function ask(question, action, work) {
        text = question
        actionText = action
        then = work
        open()
    }

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(parent.width - 40, 480)
    modal: true
    z: 100
    closePolicy: Popup.CloseOnEscape

    onAccepted: {
        const work = then
        then = null
        if (work)
            work()
    }
    onRejected: then = null

    Label {
        objectName: "lblQuestion"
        width: dialog.availableWidth
        wrapMode: Text.Wrap
        text: dialog.text
    }

    footer: DialogButtonBox {
        Button {
            objectName: "btnConfirm"
            text: dialog.actionText
            DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
        }
        Button {
            objectName: "btnConfirmCancel"
            text: qsTr("Cancel")
            DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
        }
    }
}
