import QtQuick 2.15
import QtQuick.Controls 2.15

// The context menu of a tile; one for all tiles, so that a tile costs less to make.
Menu {
    id: menu

    // The image-list row the menu was opened on.
    property int row: -1

    signal deleteRequested(int row)
    // ReviewStatus's value.
    signal statusRequested(int row, int status)

    Repeater {
        model: [qsTr("Accept (G)"), qsTr("Needs fix (X)"), qsTr("Verified empty (E)"), qsTr("Unreviewed")]
        delegate: MenuItem {
            text: modelData
            onTriggered: menu.statusRequested(menu.row, index === 3 ? 0 : index + 1)
        }
    }
    MenuSeparator {}
    MenuItem {
        text: qsTr("Delete")
        onTriggered: menu.deleteRequested(menu.row)
    }
}
