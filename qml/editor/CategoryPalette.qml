import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Boxmere 1.0

// One swatch per category, the category of drawn boxes framed thicker, and each
// category's shortcut: alone it adds a box, with Ctrl it relabels the selected one.
// The swatches wrap into rows and scroll past a few, so that many classes leave the
// picture its room. Children of an instance follow the swatches.
RowLayout {
    id: palette

    // {catId, catName, catShortcut, catColor} per category.
    property var categories: []
    property int current: 0
    property bool shortcutsEnabled: false
    // Rows of swatches shown before the strip scrolls.
    property int rows: 3
    default property alias trailing: extras.data

    signal picked(int catId)
    signal addRequested(int catId, string name)
    signal relabelRequested(int catId)

    Flickable {
        id: strip
        objectName: "swatchStrip"
        Layout.fillWidth: true
        Layout.alignment: Qt.AlignTop
        Layout.preferredHeight: Math.min(swatches.height, palette.rows * 24 - 4)
        contentWidth: width
        contentHeight: swatches.height
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {
            policy: strip.contentHeight > strip.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
        }

        Flow {
            id: swatches
            // Clear of the scroll bar.
            width: strip.width - 12
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
                        color: Utils.contrastColor(modelData.catColor)
                    }
                    MouseArea {
                        id: mouseCat
                        objectName: "mouseCat" + modelData.catId
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: palette.picked(modelData.catId)
                    }
                    ToolTip.visible: mouseCat.containsMouse
                    ToolTip.text: modelData.catShortcut.length > 0
                                  ? "(%1) %2".arg(modelData.catShortcut).arg(modelData.catName)
                                  : qsTr("%1 (class %2)").arg(modelData.catName).arg(modelData.catId)

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
    }

    Row {
        id: extras
        Layout.alignment: Qt.AlignTop
        spacing: 4
    }
}
