import QtQuick
import QtQuick.Controls
import Melodrift

// A menu that, asked for from the keyboard (`landOnFirst`), opens on its first item, so that Enter
// chooses it at once. A pointer resting where such a menu appears does not take that away (its
// hover would make the item under it current); once the pointer moves, the items follow it. Its
// items are LandingMenuItems. While it is open, what lies under it is out of reach of assistive
// technology; it closes when the item it was opened from goes (hidden with its tab or screen), and
// closed, gives the focus back to `opener` (see MenuReturn).
//     LandingMenu { landOnFirst: button.visualFocus; LandingMenuItem { text: "ویرایش" } }
Menu {
    id: menu

    property bool landOnFirst: false
    // The control it was opened from: by default what it is declared in.
    property Item opener: parent
    // Once it has closed and given the focus back.
    signal returned()
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

    readonly property ModalCover modalCover: ModalCover {
        active: menu.visible
        content: menu.contentItem ? menu.contentItem.parent : null
    }
    readonly property MenuReturn focusReturn: MenuReturn {
        menu: menu
        opener: menu.opener
        keyboard: menu.landOnFirst
        onReturned: menu.returned()
    }
    Connections {
        target: menu.parent
        function onVisibleChanged() {
            if (menu.parent && !menu.parent.visible)
                menu.close()
        }
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
