import QtQuick 2.15
import QtQuick.Controls 2.15
import Boxmere 1.0

// Asks which of several class files names the classes, when none can be told apart
// by its name.
Dialog {
    id: dialog

    property var files: []

    signal chosen(string file)

    function ask(candidates) {
        files = candidates
        list.currentIndex = 0
        open()
    }

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(parent.width - 40, 560)
    modal: true
    z: 100
    closePolicy: Popup.CloseOnEscape
    title: qsTr("Which file names the classes?")

    onAccepted: {
        if (list.currentIndex >= 0)
            chosen(files[list.currentIndex])
    }

    ListView {
        id: list
        objectName: "lstClassFiles"
        width: dialog.availableWidth
        implicitHeight: Math.min(contentHeight, 240)
        clip: true
        model: dialog.files
        delegate: ItemDelegate {
            width: ListView.view.width
            text: Utils.fileName(modelData)
            highlighted: ListView.isCurrentItem
            ToolTip.visible: hovered
            ToolTip.text: modelData
            onClicked: list.currentIndex = index
            onDoubleClicked: dialog.accept()
        }
    }

    footer: DialogButtonBox {
        Button {
            objectName: "btnUseClassFile"
            text: qsTr("Use")
            DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
        }
        Button {
            text: qsTr("Cancel")
            DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
        }
    }
}
