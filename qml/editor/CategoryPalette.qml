import QtQuick 2.15
import QtQuick.Controls 2.15
import Boxmere 1.0

// One swatch per category, the category of drawn boxes framed thicker, and each
// category's shortcut: alone it adds a box, with Ctrl it relabels the selected one.
// Children of an instance follow the swatches.
Flow {
    id: palette

    // {catId, catName, catShortcut, catColor} per category.
    property var categories: []
    property int current: 0
    property bool shortcutsEnabled: false

    signal picked(int catId)
    signal addRequested(int catId, string name)
    signal relabelRequested(int catId)

    spacing: 4

    Repeater {
        objectName: "rptCategories"
        model: palette.categories
        delegate: Rectangle {
            implicitWidth: 20
            implicitHeight: 20
            color: modelData.catColor
            border.width: modelData.catId === palette.current ? 3 : 1
            border.color: "black"

            Label {
                anchors.centerIn: parent
                text: modelData.catShortcut
                color: Utils.invertColor(modelData.catColor)
            }
            MouseArea {
                id: mouseCat
                objectName: "mouseCat" + modelData.catId
                anchors.fill: parent
                hoverEnabled: true
                onClicked: palette.picked(modelData.catId)
            }
            ToolTip.visible: mouseCat.containsMouse
            ToolTip.text: "(%1) %2".arg(modelData.catShortcut).arg(modelData.catName)

            Shortcut {
                sequence: modelData.catShortcut
                enabled: palette.shortcutsEnabled
                onActivated: palette.addRequested(modelData.catId, modelData.catName)
            }
            Shortcut {
                sequence: modelData.catShortcut.length > 0 ? "Ctrl+" + modelData.catShortcut : ""
                enabled: palette.shortcutsEnabled && modelData.catShortcut.length > 0
                onActivated: palette.relabelRequested(modelData.catId)
            }
        }
    }
}
