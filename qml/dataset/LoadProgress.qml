import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// How far a load got, with Cancel; shown only for a load that takes long enough to wait for.
RowLayout {
    id: progress

    property int done: 0
    property int total: 0

    signal cancelClicked()

    function formatCount(n) {
        return Number(n).toLocaleString(Qt.locale(), "f", 0)
    }

    ProgressBar {
        objectName: "barProgress"
        Layout.fillWidth: true
        from: 0
        to: Math.max(1, progress.total)
        value: progress.done
        indeterminate: progress.total === 0
    }
    Label {
        text: qsTr("%1 of %2 label files").arg(progress.formatCount(progress.done)).arg(progress.formatCount(progress.total))
    }
    Button {
        objectName: "btnCancelLoad"
        text: qsTr("Cancel")
        onClicked: progress.cancelClicked()
    }
}
