import QtQuick
import QtQuick.Controls
import QtQml.Models
import Melodrift

// One of the story sheet's two range menus: its title over the chosen line's label, on a rounded
// tile; opens a menu of every line.
//     StoryRangeMenu { title: "از خط"; label: model.startLabel; items: model.lineItems; current: model.startLine
//                      onChosen: index => model.chooseStart(index) }
PlainButton {
    id: root

    property string title
    property string label
    property var items: []
    property int current: 0

    signal chosen(int index)

    width: 140 + 28
    height: tile.implicitHeight + 20
    background: Rectangle { radius: 12; color: Qt.rgba(1, 1, 1, 0.08) }
    contentItem: Column {
        id: tile
        spacing: 3
        Text {
            textFormat: Text.PlainText
            width: 140
            anchors.horizontalCenter: parent.horizontalCenter
            horizontalAlignment: Text.AlignHCenter
            text: root.title
            font: Theme.caption2
            color: Qt.rgba(1, 1, 1, 0.55)
        }
        Text {
            textFormat: Text.PlainText
            width: 140
            anchors.horizontalCenter: parent.horizontalCenter
            horizontalAlignment: Text.AlignHCenter
            text: root.label
            font: Theme.caption
            color: "white"
            elide: Text.ElideRight
            maximumLineCount: 1
        }
    }
    Accessible.role: Accessible.ButtonMenu
    Accessible.name: root.title + " " + root.label
    onClicked: menu.popup(root, 0, root.height)

    Menu {
        id: menu
        // Above the sheet (z 1) the button sits in; level with it, the sheet hides the menu.
        z: 2
    }
    Instantiator {
        model: root.items
        delegate: MenuItem {
            required property int index
            required property string modelData
            text: modelData
            checkable: true
            checked: index === root.current
            onTriggered: root.chosen(index)
        }
        onObjectAdded: (index, object) => menu.insertItem(index, object)
        onObjectRemoved: (index, object) => menu.removeItem(object)
    }
}
