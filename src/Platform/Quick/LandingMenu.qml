import QtQuick
import QtQuick.Controls

// A menu that, asked for from the keyboard (`landOnFirst`), opens on its first item, so that Enter
// chooses it at once. A pointer resting where such a menu appears does not take that away (its
// hover would make the item under it current); once the pointer moves, the items follow it. Its
// items are LandingMenuItems.
//     LandingMenu { landOnFirst: button.visualFocus; LandingMenuItem { text: "ویرایش" } }
Menu {
    id: menu

    property bool landOnFirst: false
    // Whether hovering makes an item current.
    property bool pointerFollows: true
    property point restingPointer: Qt.point(-1, -1)

    // Where the pointer is over an item, in the window.
    function notePointer(at) {
        if (pointerFollows)
            return
        if (restingPointer.x < 0)
            restingPointer = at
        else if (Math.abs(at.x - restingPointer.x) > 2 || Math.abs(at.y - restingPointer.y) > 2)
            pointerFollows = true
    }

    onAboutToShow: {
        pointerFollows = !landOnFirst
        restingPointer = Qt.point(-1, -1)
    }
    onOpened: {
        if (landOnFirst && count > 0) {
            currentIndex = 0
            itemAt(0).forceActiveFocus(Qt.TabFocusReason)
        }
    }
}
