import QtQuick 2.15
import QtQuick.Controls 2.15

// A ring around a box that has problems; hovering it names them, beside the pointer.
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
    ToolTip {
        objectName: "problemTip"
        x: hover.point.position.x + 12
        y: hover.point.position.y + 16
        visible: hover.hovered && outline.text.length > 0
        text: outline.text
        delay: 300
    }
}
