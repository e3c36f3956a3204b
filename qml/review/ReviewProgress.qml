import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../dialogs"

// The review above the grid: a filter by status with the images each would show, how far
// the review of the whole list is, and what keeps the statuses from their file.
RowLayout {
    id: bar

    // ImageFilter's counts per status: {status, name, rows}.
    property var statusCounts: []
    property string statusValue: ""
    // ReviewStatus's progress, e.g. "312 of 5,000 reviewed (6 %) · 14 need fixing".
    property string progress: ""
    // Why the status file was not taken whole; "" when it was.
    property string damage: ""
    property bool unsaved: false
    property string saveError: ""

    signal statusChosen(string value)
    // The user agreed to replace the damaged status file.
    signal replaceAgreed()

    onStatusValueChanged: cmbStatus.currentIndex = indexOf(statusValue)

    readonly property var statusOptions: {
        const options = [{ value: "", text: qsTr("All statuses") }]
        for (const entry of statusCounts)
            options.push({ value: entry.status, text: "%1 (%2)".arg(entry.name).arg(entry.rows) })
        return options
    }

    function indexOf(value) {
        return Math.max(0, statusOptions.findIndex(function (option) { return option.value === value }))
    }

    ComboBox {
        id: cmbStatus
        objectName: "cmbStatusFilter"
        Layout.minimumWidth: 90
        Layout.preferredWidth: 190
        textRole: "text"
        model: bar.statusOptions
        onModelChanged: currentIndex = bar.indexOf(bar.statusValue)
        onActivated: bar.statusChosen(bar.statusOptions[index].value)
    }
    Label {
        objectName: "lblReviewProgress"
        Layout.fillWidth: true
        Layout.minimumWidth: 60
        elide: Text.ElideRight
        text: bar.progress
        ToolTip.visible: hovered
        ToolTip.text: qsTr("Over every image of the list, whatever the filters show")
        HoverHandler { id: hover }
        readonly property bool hovered: hover.hovered
    }
    Label {
        objectName: "lblReviewNotice"
        Layout.fillWidth: true
        visible: text !== ""
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
