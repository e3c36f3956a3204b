import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The review above the grid: a filter by status with the images each would show, and how
// far the review of the whole list is.
RowLayout {
    id: bar

    // ImageFilter's counts per status: {status, name, rows}.
    property var statusCounts: []
    property string statusValue: ""
    // ReviewStatus's progress, e.g. "312 of 5,000 reviewed (6 %) · 14 need fixing".
    property string progress: ""
    signal statusChosen(string value)

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
        Layout.preferredWidth: 160
        textRole: "text"
        model: bar.statusOptions
        onModelChanged: currentIndex = bar.indexOf(bar.statusValue)
        onActivated: bar.statusChosen(bar.statusOptions[index].value)
    }
    Label {
        objectName: "lblReviewProgress"
        Layout.fillWidth: true
        // Ahead of the messages beside it, which give way first.
        Layout.minimumWidth: Math.min(implicitWidth, 300)
        elide: Text.ElideRight
        text: bar.progress
        ToolTip.visible: hovered
        ToolTip.text: qsTr("Over every image of the list, whatever the filters show")
        HoverHandler { id: hover }
        readonly property bool hovered: hover.hovered
    }
}
