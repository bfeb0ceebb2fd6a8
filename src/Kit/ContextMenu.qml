import QtQuick
import QtQuick.Controls
import Melodrift

// A context menu for its parent item, opened by a right click or a long press. Its entries are
// built each time it opens, by `entries`, a function returning a list of
//     { text: "حذف دانلود", symbol: "trash", destructive: false, action: function() { ... } }
// An empty list opens nothing.
//     Rectangle {
//         ContextMenu { entries: () => model.offlineMenu(index).map(...) }
//     }
// A long press on a button opens the menu and does not click the button. On a kit button with
// keyboard focus, the Menu key or Shift+F10 opens it at the button's centre. Assistive technology
// finds it as the parent's ShowMenu action, which focuses the parent and does what the Menu key
// does. Opened from the keyboard (or by assistive technology), the menu lands on its first item,
// so that Enter chooses it at once; `openAt(x, y)` called by a button's click asks the button.
// A chosen entry's action runs once the menu has closed and the focus is back on the parent.
Item {
    id: root

    property var entries: function() { return [] }
    readonly property bool opened: menu !== null && menu.opened
    // The actions of the entries shown.
    property var actions: []

    anchors.fill: parent

    // `byKeyboard`: the menu lands on its first item; left out, whether the parent was activated
    // other than by a pointer (for an item other than a kit button: it has the keyboard's focus,
    // or no pointer is over it).
    function openAt(x, y, byKeyboard) {
        const list = root.entries() || []
        if (list.length === 0)
            return
        landOnFirst = byKeyboard !== undefined ? byKeyboard
                    : root.parent !== null && (root.parent.activatedByPointer !== undefined
                                               ? !root.parent.activatedByPointer
                                               : root.parent.visualFocus === true || root.parent.hovered === false)
        menuModel.clear()
        actions = list.map(entry => entry.action)
        for (let i = 0; i < list.length; ++i) {
            menuModel.append({
                title: list[i].text || "",
                symbol: list[i].symbol || "",
                destructive: list[i].destructive === true
            })
        }
        // Made on first use: a list of many rows then costs one menu, not one per row.
        if (!menu)
            menu = menuComponent.createObject(root)
        menu.popup(root, x, y)
    }

    property Menu menu: null
    property bool landOnFirst: false
    // The chosen entry's action: it runs once the menu has closed and given the focus back, so
    // that what it opens knows where it came from, and what it removes (the row the menu is in,
    // the menu with it) goes after the menu's own events.
    property var chosen: null

    TapHandler {
        acceptedButtons: Qt.RightButton
        onTapped: eventPoint => root.openAt(eventPoint.position.x, eventPoint.position.y, false)
    }
    // On a button, its own press-and-hold opens the menu: a button whose press-and-hold is
    // answered emits no click on release. Elsewhere a long-press handler does.
    readonly property bool parentIsButton: parent !== null && typeof parent.pressAndHold === "function"
                                           && parent.pressX !== undefined
    TapHandler {
        acceptedButtons: Qt.LeftButton
        enabled: !root.parentIsButton
        onLongPressed: root.openAt(point.position.x, point.position.y, false)
    }
    Connections {
        target: root.parentIsButton ? root.parent : null
        function onPressAndHold() { root.openAt(root.parent.pressX, root.parent.pressY, false) }
    }
    readonly property bool parentTakesMenuKey: parent !== null && typeof parent.contextMenuRequested === "function"
    Connections {
        target: root.parentTakesMenuKey ? root.parent : null
        function onContextMenuRequested() { root.openAt(root.width / 2, root.height / 2, true) }
    }

    MenuAction {
        target: root.parent
        onRequested: {
            root.parent.forceActiveFocus(Qt.OtherFocusReason)
            if (root.parentTakesMenuKey)
                root.parent.contextMenuRequested()
            else
                root.openAt(root.width / 2, root.height / 2, true)
        }
    }

    ListModel { id: menuModel }

    Component {
        id: menuComponent

        LandingMenu {
            id: popupMenu
            width: 220
            landOnFirst: root.landOnFirst
            opener: root.parent
            onAboutToShow: root.chosen = null
            onReturned: {
                const action = root.chosen
                root.chosen = null
                if (typeof action === "function")
                    action()
            }

            Instantiator {
                model: menuModel
                delegate: LandingMenuItem {
                    id: menuItem
                    required property int index
                    required property string title
                    required property string symbol
                    required property bool destructive
                    text: title
                    font: Theme.body
                    // A menu item has neither a name nor a press action of its own for assistive
                    // technology here.
                    Accessible.name: title
                    Accessible.onPressAction: menuItem.clicked()
                    contentItem: SymbolLabel {
                        text: parent.text
                        symbol: parent.symbol
                        font: parent.font
                        color: parent.destructive ? Theme.red : Theme.label
                        spacing: 10
                    }
                    onTriggered: root.chosen = root.actions[index]
                }
                onObjectAdded: (index, object) => popupMenu.insertItem(index, object)
                onObjectRemoved: (index, object) => popupMenu.removeItem(object)
            }
        }
    }
}
