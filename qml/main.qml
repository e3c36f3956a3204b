import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Controls 2.15
import Boxmere 1.0

ApplicationWindow {
    id: root
    visible: true
    width: 640
    height: 480
    title: qsTr("Annotator")
}
