import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Holds the window still while a long task runs, and shows how far it got once it
// has taken long enough to wait for.
Popup {
    id: popup
    property bool running: false
    property bool showProgress: false
    property int done: 0
    property int total: 0
    property string text: ""

    anchors.centerIn: Overlay.overlay
    width: Math.min(420, parent ? parent.width - 40 : 420)
    modal: true
    dim: showProgress
    closePolicy: Popup.NoAutoClose
    visible: running
    // Nothing to see in the first moment: most tasks are over by then.
    opacity: showProgress ? 1 : 0

    ColumnLayout {
        anchors.fill: parent
        Label {
            Layout.fillWidth: true
            text: popup.text
            elide: Text.ElideRight
        }
        ProgressBar {
            objectName: "barTask"
            Layout.fillWidth: true
            from: 0
            to: Math.max(1, popup.total)
            value: popup.done
            indeterminate: popup.total === 0
        }
    }
}
