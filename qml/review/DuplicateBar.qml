import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Near-duplicate pictures: a button that looks for them, its progress with Cancel, then
// the filter to their groups with its count, and what was found.
RowLayout {
    id: bar

    property bool busy: false
    property bool showProgress: false
    property int done: 0
    property int total: 0
    // Images the filter would show; -1 before a search.
    property int count: -1
    property bool filterOn: false
    property string message: ""
    property bool canSearch: true

    signal findClicked()
    signal cancelClicked()
    signal filterToggled(bool on)

    Button {
        objectName: "btnFindDuplicates"
        text: qsTr("Find near-duplicates")
        enabled: bar.canSearch && !bar.busy
        ToolTip.visible: hovered
        ToolTip.text: qsTr("Compares every picture with every other, and with those of the other splits; " +
                           "pictures looked at before are not read again")
        onClicked: bar.findClicked()
    }
    ProgressBar {
        objectName: "barDuplicates"
        visible: bar.showProgress
        Layout.preferredWidth: 160
        from: 0
        to: Math.max(1, bar.total)
        value: bar.done
    }
    Label {
        visible: bar.showProgress
        text: qsTr("%1 of %2 pictures").arg(bar.done).arg(bar.total)
    }
    Button {
        objectName: "btnCancelDuplicates"
        visible: bar.showProgress
        text: qsTr("Cancel")
        onClicked: bar.cancelClicked()
    }
    CheckBox {
        objectName: "chkDuplicates"
        visible: bar.count >= 0 || bar.filterOn
        text: qsTr("near-duplicates (%1)").arg(Math.max(0, bar.count))
        checked: bar.filterOn
        ToolTip.visible: hovered && bar.message !== ""
        ToolTip.text: bar.message
        onToggled: bar.filterToggled(checked)
    }
    Label {
        objectName: "lblDuplicates"
        visible: !bar.busy && bar.message !== ""
        Layout.fillWidth: true
        Layout.minimumWidth: 0
        elide: Text.ElideRight
        text: bar.message
    }
}
