import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The number of columns of the grid, and a row number to scroll to.
RowLayout {
    id: settings

    property alias columns: sldCols.value

    signal goTo(int row)

    SpinBox {
        id: sldCols
        objectName: "sldCols"
        from: 1
        to: 10
        value: 4
    }
    Item { Layout.fillWidth: true }
    Label { text: qsTr("Goto") }
    TextField {
        id: txtIndex
        objectName: "txtIndex"
        Layout.preferredWidth: 70
    }
    Button {
        objectName: "btnGo"
        text: qsTr("Go")
        onClicked: {
            const row = parseInt(txtIndex.text)
            if (!isNaN(row))
                settings.goTo(row)
        }
    }
}
