import QtQuick 2.15

// A tile's review status at a glance. Each status has a sign and a shape of its own
// (a round ✓, a square !, a rounded ∅), so that it reads without telling colours apart;
// nothing while unreviewed.
Rectangle {
    id: badge

    // ReviewStatus's values: 0 unreviewed, 1 accepted, 2 needs fix, 3 verified empty.
    property int status: 0
    readonly property var looks: [null,
        { sign: "✓", color: "#1565c0", round: 0.5 },
        { sign: "!", color: "#e65100", round: 0 },
        { sign: "∅", color: "#455a64", round: 0.2 }]
    readonly property var look: status > 0 && status < looks.length ? looks[status] : null

    visible: look !== null
    width: 20
    height: 20
    radius: look ? width * look.round : 0
    color: look ? look.color : "transparent"
    border.color: "white"
    border.width: 1

    Text {
        objectName: "statusSign"
        anchors.centerIn: parent
        text: badge.look ? badge.look.sign : ""
        color: "white"
        font.bold: true
    }
}
