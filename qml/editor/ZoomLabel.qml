import QtQuick 2.15
import QtQuick.Controls 2.15

// The zoom of the open picture, shown only when it is not fitted.
Label {
    property real zoom: 1

    visible: zoom !== 1
    text: "%1 %".arg(Math.round(zoom * 100))
}
