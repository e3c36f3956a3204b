import QtQuick 2.15
import QtQuick.Controls 2.15

// A ring around a box that has problems; hovering it names them.
Item {
    id: outline
    property string text: ""

    Rectangle {
        anchors.fill: parent
        anchors.margins: -3
        color: "transparent"
        border.width: 2
        border.color: "#ff00ff"
    }
    HoverHandler {
        id: hover
    }
    ToolTip.visible: hover.hovered && text.length > 0
    ToolTip.text: text
    ToolTip.delay: 300
}
