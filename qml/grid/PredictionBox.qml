import QtQuick 2.15
import QtQuick.Window 2.15
import Boxmere 1.0

// One mark of a model's predictions over a picture: a prediction, dashed in its class
// colour with its confidence and, when it disagrees with the labels, what about; or a
// label box no prediction found, ringed.
Item {
    id: box

    // kind ("match", "extra", "class", "dup" or "missed"), catId, cx, cy, cw, ch and score.
    property var mark: ({})
    property size pictureSize: Qt.size(0, 0)
    property real zoom: 1
    property color classColor: "black"
    property bool tagShown: true

    readonly property string kind: mark.kind || ""
    readonly property bool missed: kind === "missed"
    readonly property real lineWidth: Math.max(1, 2 / Screen.devicePixelRatio) / zoom
    // Colours by kind of disagreement.
    readonly property var kindColors: ({ missed: "#ff8c00", extra: "#ff1744", "class": "#d500f9", dup: "#00b8d4" })
    readonly property var kindTags: ({ extra: qsTr("extra"), "class": qsTr("class?"), dup: qsTr("dup") })

    objectName: "prediction_" + kind
    x: (mark.cx - mark.cw / 2) * pictureSize.width
    y: (mark.cy - mark.ch / 2) * pictureSize.height
    width: mark.cw * pictureSize.width
    height: mark.ch * pictureSize.height
    // Rings beneath the predictions, whose tags they would cross.
    z: missed ? 40 : 50

    PolygonItem {
        anchors.fill: parent
        visible: !box.missed
        points: [0, 0, 1, 0, 1, 1, 0, 1]
        pictureSize: Qt.size(box.width, box.height)
        color: box.classColor
        fillOpacity: 0
        lineWidth: box.lineWidth
        zoom: box.zoom
        dashed: true
    }

    // A label box the model did not find, ringed just outside its outline.
    Rectangle {
        objectName: "missedRing"
        visible: box.missed
        anchors.fill: parent
        anchors.margins: -2 * box.lineWidth
        color: "transparent"
        border.color: box.kindColors.missed
        border.width: 2 * box.lineWidth
        radius: 3 * box.lineWidth
    }

    Rectangle {
        visible: box.tagShown && !box.missed
        // A disagreement's tag at the other corner from a match's, which often sits on the same box.
        anchors.right: box.kind === "match" ? parent.right : undefined
        anchors.left: box.kind === "match" ? undefined : parent.left
        anchors.bottom: parent.bottom
        width: tag.implicitWidth + 4
        height: tag.implicitHeight
        scale: 1 / box.zoom
        transformOrigin: box.kind === "match" ? Item.BottomRight : Item.BottomLeft
        color: box.kind === "match" ? "#a0000000" : box.kindColors[box.kind] || "black"

        Text {
            id: tag
            objectName: "predictionTag"
            x: 2
            color: "white"
            font.pixelSize: 10
            text: Number(box.mark.score).toFixed(2)
                  + (box.kindTags[box.kind] ? " " + box.kindTags[box.kind] : "")
        }
    }
}
