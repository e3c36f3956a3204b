import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../dialogs"

// What keeps the review statuses from their file: a damaged file, which is replaced
// only when the user agrees, or a write that failed.
RowLayout {
    id: bar

    // Why the status file was not taken whole; "" when it was.
    property string damage: ""
    property bool unsaved: false
    property string saveError: ""

    // The user agreed to replace the damaged status file.
    signal replaceAgreed()

    visible: damage !== "" || saveError !== ""

    Label {
        objectName: "lblReviewNotice"
        Layout.fillWidth: true
        color: "firebrick"
        wrapMode: Text.Wrap
        text: bar.saveError !== "" ? bar.saveError
              : bar.damage === "" ? ""
              : bar.unsaved ? qsTr("%1. Status changes are not saved until it is replaced.").arg(bar.damage)
              : qsTr("%1. The statuses it holds are shown.").arg(bar.damage)
    }
    Button {
        objectName: "btnReplaceStatusFile"
        visible: bar.damage !== ""
        text: qsTr("Replace the file…")
        onClicked: dlgReplace.ask(qsTr("Replace the review status file with the statuses shown? Its lines that are not statuses are lost."),
                                  qsTr("Replace"), bar.replaceAgreed)
    }

    ConfirmDialog {
        id: dlgReplace
        objectName: "dlgReplaceStatusFile"
    }
}
