import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Reset, Save, what the last save did or what went wrong with it (or what a key about
// predictions had to say), and Close.
RowLayout {
    id: buttons

    property bool canSave: false
    property string saveError: ""
    property string saveNote: ""
    property string hint: ""

    signal resetClicked()
    signal saveClicked()
    signal closeClicked()

    // Space pans the picture; it must not press a button that has focus.
    Button {
        objectName: "btnReset"
        text: qsTr("Reset")
        focusPolicy: Qt.NoFocus
        enabled: buttons.canSave
        onClicked: buttons.resetClicked()
    }
    Button {
        objectName: "btnSave"
        text: qsTr("Save")
        focusPolicy: Qt.NoFocus
        enabled: buttons.canSave
        onClicked: buttons.saveClicked()
    }
    Label {
        objectName: "lblSaveError"
        Layout.fillWidth: true
        color: buttons.saveError.length > 0 ? "firebrick" : palette.text
        elide: Text.ElideMiddle
        text: buttons.saveError.length > 0 ? buttons.saveError : buttons.hint.length > 0 ? buttons.hint : buttons.saveNote
    }
    Button {
        objectName: "btnClose"
        text: qsTr("Close")
        focusPolicy: Qt.NoFocus
        onClicked: buttons.closeClicked()
    }
}
