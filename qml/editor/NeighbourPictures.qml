import QtQuick 2.15
import Boxmere 1.0

// The pictures of the images before and after the open one, asked for ahead at the
// size the open one was, so that next and previous find them decoded.
Item {
    id: neighbours

    property var paths: []
    property size sourceSize: Qt.size(-1, -1)
    property bool active: true

    Repeater {
        model: neighbours.paths
        delegate: Image {
            visible: false
            asynchronous: true
            cache: false
            sourceSize: neighbours.sourceSize
            source: neighbours.active && modelData.length > 0 && sourceSize.width > 0
                    ? "image://thumbnail/" + Utils.toFileUrl(modelData) : ""
        }
    }
}
