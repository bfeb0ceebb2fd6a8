import QtQuick
import QtQuick.Controls
import Melodrift

// A pull-down menu: a kit button whose label is given as `contentItem`, opening a menu of `items`
// (texts) below it. Choosing one emits chosen(index, text). Enter or Space opens it from the
// keyboard; the arrow keys and Enter choose in the open menu. The item at `currentIndex` (none
// when -1) is the current choice, which the label shows: assistive technology reads it as checked.
//     PullDownMenu {
//         items: model.presetNames
//         onChosen: (index, text) => model.applyPreset(text)
//         contentItem: Text { textFormat: Text.PlainText; text: model.presetLabel }
//     }
ButtonBase {
    id: control

    property var items: []
    property int currentIndex: -1
    property color tint: "white"
    readonly property bool menuOpen: menu.opened

    signal chosen(int index, string text)

    opacity: pressed ? 0.55 : (enabled ? 1.0 : 0.4)
    Accessible.role: Accessible.ButtonMenu

    onClicked: menu.open()

    Menu {
        id: menu
        // Above the sheet (z 1) the button sits in; level with it, the sheet hides the menu.
        z: 2
        y: control.height + 4
        width: control.width

        Repeater {
            model: control.items
            delegate: MenuItem {
                id: menuItem
                required property int index
                required property string modelData
                text: modelData
                font: Theme.body
                // A menu item has neither a name nor a press action of its own for assistive
                // technology here.
                Accessible.name: modelData
                Accessible.onPressAction: menuItem.clicked()
                // The current choice, which the button's label shows, reads as checked.
                Accessible.checkable: control.currentIndex >= 0
                Accessible.checked: index === control.currentIndex
                contentItem: Text {
                    textFormat: Text.PlainText
                    text: parent.text
                    font: parent.font
                    color: control.tint
                    horizontalAlignment: Text.AlignLeft
                    verticalAlignment: Text.AlignVCenter
                }
                onTriggered: control.chosen(index, modelData)
            }
        }
    }
}
