import QtQuick 2.15
import QtQuick.Controls 2.15

// "About": the version, the terms it comes under and the Qt it runs on.
Dialog {
    id: dialog

    property string version: ""
    property string qtVersion: ""

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(parent.width - 40, 420)
    modal: true
    z: 100
    title: qsTr("About Boxmere")
    standardButtons: Dialog.Close

    Label {
        objectName: "lblAbout"
        width: dialog.availableWidth
        wrapMode: Text.Wrap
        text: qsTr("Boxmere %1\n\nReviews and corrects object-detection boxes in the YOLO label layout."
                   + "\n\nCopyright the Boxmere developers. No licence has been granted yet."
                   + "\n\nQt %2").arg(dialog.version).arg(dialog.qtVersion)
    }
}
