import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Boxmere 1.0

// Chooses a category by part of its name or its number: the arrows move through the
// matches, Enter or a click takes one, Esc leaves without choosing.
Popup {
    id: picker

    // {catId, catName, catColor} per category.
    property var categories: []
    // The category marked when the picker opens.
    property int current: -1
    // What the choice is for.
    property string title: ""

    signal chosen(int catId)

    x: (parent.width - width) / 2
    y: (parent.height - height) / 3
    width: 300
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside

    onAboutToShow: {
        txtClass.text = ""
        for (let row = 0; row < matches.count; ++row) {
            if (matches.catIdAt(row) === current)
                lstClasses.currentIndex = row
        }
        lstClasses.positionViewAtIndex(lstClasses.currentIndex, ListView.Center)
        txtClass.forceActiveFocus()
    }

    function choose(row) {
        if (row < 0 || row >= matches.count)
            return
        close()
        chosen(matches.catIdAt(row))
    }

    ClassPickerModel {
        id: matches
        categories: picker.categories
        filterText: txtClass.text
    }

    contentItem: ColumnLayout {
        Label {
            text: picker.title
            font.bold: true
        }
        TextField {
            id: txtClass
            objectName: "txtClass"
            Layout.fillWidth: true
            placeholderText: qsTr("Class name or number")
            onTextChanged: lstClasses.currentIndex = 0
            Keys.onUpPressed: lstClasses.decrementCurrentIndex()
            Keys.onDownPressed: lstClasses.incrementCurrentIndex()
            Keys.onReturnPressed: picker.choose(lstClasses.currentIndex)
            Keys.onEnterPressed: picker.choose(lstClasses.currentIndex)
        }

        ListView {
            id: lstClasses
            objectName: "lstClasses"
            Layout.fillWidth: true
            Layout.preferredHeight: Math.min(contentHeight, 320)
            clip: true
            model: matches
            highlightMoveDuration: 0
            ScrollBar.vertical: ScrollBar {}

            delegate: ItemDelegate {
                width: lstClasses.width
                highlighted: ListView.isCurrentItem
                onClicked: picker.choose(index)
                contentItem: RowLayout {
                    Rectangle {
                        implicitWidth: 14
                        implicitHeight: 14
                        color: catColor
                        border.color: "black"
                    }
                    Label {
                        Layout.fillWidth: true
                        text: catName === String(catId) ? catName : "%1  %2".arg(catId).arg(catName)
                        elide: Text.ElideRight
                    }
                }
            }
        }

        Label {
            visible: matches.count === 0
            text: qsTr("No class matches")
            color: "gray"
        }
    }
}
