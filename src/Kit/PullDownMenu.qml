import QtQuick
import QtQuick.Controls
import Melodrift

// A pull-down menu: a kit button whose label is given as `contentItem`, opening a menu of `items`
// (texts) below it. Choosing one emits chosen(index, text). Enter or Space opens it from the
// keyboard, on its first item; the arrow keys and Enter choose in the open menu. The item at
// `currentIndex` (none when -1) is the current choice, which the label shows: it is checked, and
// assistive technology reads it so.
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

    // Opened from the keyboard (or by assistive technology, not from a pointer over it).
    property bool openedByKeyboard: false
    onClicked: {
        openedByKeyboard = !activatedByPointer
        menu.open()
    }

    LandingMenu {
        id: menu
        // Above the sheet (z 1) the button sits in; level with it, the sheet hides the menu.
        z: 2
        y: control.height + 4
        width: control.width
        landOnFirst: control.openedByKeyboard

        Repeater {
            model: control.items
            delegate: LandingMenuItem {
                id: menuItem
                required property int index
                required property string modelData
                text: modelData
                font: Theme.body
                // A menu item has neither a name nor a press action of its own for assistive
                // technology here.
                Accessible.name: modelData
                Accessible.onPressAction: menuItem.clicked()
                // The current choice, which the button's label shows, is checked: the item's own
                // state, which Qt also hands to a screen reader that attaches later. A click
                // toggles it; the choice, not the click, decides it again.
                checkable: control.currentIndex >= 0
                checked: index === control.currentIndex
                onToggled: checked = Qt.binding(() => index === control.currentIndex)
                Accessible.checkable: checkable
                Accessible.checked: checked
                contentItem: Text {
                    // Room for the check mark, on its side.
                    readonly property real indicatorPadding: parent.checkable && parent.indicator
                                                             ? parent.indicator.width + parent.spacing : 0
                    leftPadding: parent.mirrored ? 0 : indicatorPadding
                    rightPadding: parent.mirrored ? indicatorPadding : 0
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
