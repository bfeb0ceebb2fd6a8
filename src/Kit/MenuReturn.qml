import QtQuick
import Melodrift

// What gives the focus back once a menu (any popup) has closed, however it closed (an item
// chosen, Escape, a press outside): to `opener`, the control it was opened from, showing when it
// was opened from the keyboard, before what the choice set off runs (a sheet it opens then knows
// where it came from). A sheet or dialog that took the focus keeps it; an opener gone with the
// choice (its row deleted) leaves it to the window's FocusKeeper, which gives it to the row now in
// its place.
//     Popup { id: menu; readonly property MenuReturn focusReturn: MenuReturn {
//                 menu: menu; opener: button; keyboard: button.openedByKeyboard } }
QtObject {
    id: back

    property QtObject menu: null
    property Item opener: null
    property bool keyboard: false

    // Once the menu has closed and the focus is where it goes.
    signal returned()

    readonly property Connections watch: Connections {
        target: back.menu
        function onClosed() {
            if (back.opener)
                FocusLanding.returnFromMenu(back.opener, back.menu.contentItem ? back.menu.contentItem.parent : null,
                                            back.keyboard)
            back.returned()
        }
    }
}
