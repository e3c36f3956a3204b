import QtQuick 2.15
import QtQuick.Controls 2.15
import Boxmere 1.0

ApplicationWindow {
    visible: true
    title: Utils.baseName("started.ok")
    // Both singletons must be reachable before the window counts as loaded.
    Component.onCompleted: {
        console.info("rows", ImageList.rowCount(), "title", title, "start", DatasetLoader.startFolder, DatasetLoader.startImages,
                     DatasetLoader.startPredictions)
        Qt.callLater(Qt.quit)
    }
}
