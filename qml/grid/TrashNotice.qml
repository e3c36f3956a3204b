import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Boxmere 1.0

// Says which label file the last Delete moved to the trash, and offers to take it back.
RowLayout {
    id: notice

    // The label file in the trash; "" hides the line.
    property string file: ""

    signal undoClicked()

    visible: file.length > 0

    Label {
        objectName: "lblTrashed"
        Layout.fillWidth: true
        elide: Text.ElideMiddle
        text: qsTr("Moved %1 to the trash").arg(Utils.fileName(notice.file))
    }
    Button {
        objectName: "btnUndoDelete"
        text: qsTr("Undo")
        onClicked: notice.undoClicked()
    }
}
