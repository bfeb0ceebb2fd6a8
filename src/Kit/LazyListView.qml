import QtQuick
import QtQuick.Controls
import Melodrift

// A vertical list that builds only the rows in view and about a screen around them, however long
// its model: the page's top part goes in `header` (and what follows the rows in `footer`) so the
// whole page scrolls as one. The model is a list model keyed by its items, so the rows built, and
// the focus in them, stay with their items through edits, removals and reloads. The keyboard
// reaches every control of every row, in order, whatever is built:
//   - Tab from above enters at the header's first control (else the first row's, else the
//     footer's); Backtab from below at the footer's last control (else the last row's, else the
//     header's);
//   - Tab and Backtab go from a row's last (first) control to the next (previous) row, building and
//     scrolling to it first; out of the header into the first row; past the list out of it;
//   - Down and Up move one row, Page Down and Page Up a screen of rows, keeping the control's place
//     in the row; Home and End jump to the first and last row (so End then Tab leaves the list,
//     Home then Backtab too).
// When the row holding the focus goes, the row that takes its place gets it (else the one before,
// else the header's first control). Where a row holds several items (a grid's cards), an item that
// declares `itemKey` is followed by it: when it moves to another row, the focus goes with it.
// The row holding the focus, however it came there, is the list's current row, so it stays built
// while scrolled away. Delegates are FocusScopes, so that making a row current leaves the focus on
// the control inside it.
// `focusBottomInset` is the room kept free at the bottom when a control is scrolled into view
// (the mini player bar): by default the list's bottom margin.
//     LazyListView { model: rows; bottomMargin: model.bottomPadding; header: Column {...}
//                    delegate: FocusScope { required property int index; ... } }
ListView {
    id: view

    property real focusBottomInset: bottomMargin
    property int scrollBarPolicy: ScrollBar.AsNeeded

    clip: true
    activeFocusOnTab: true
    keyNavigationEnabled: false

    // A header that grows or shrinks while the list rests at its top (what it shows loads, a text
    // wraps once the width is known) leaves the list at its top: Qt keeps the old position, which
    // then lies inside the header, and the page would open scrolled.
    property real restingOriginY: 0
    onOriginYChanged: {
        if (!moving && Math.abs(contentY - (restingOriginY - topMargin)) < 0.5)
            contentY = originY - topMargin
        restingOriginY = originY
    }
    cacheBuffer: Math.max(0, Math.round(height))
    ScrollBar.vertical: ScrollBar { policy: view.scrollBarPolicy }

    // Whatever takes the list down (its sheet or screen closing, the application quitting), its
    // rows go first, through the list's own release. A list destroyed hidden (a Loader hides what
    // it lets go) with its rows in place shows each row again while the row is half destroyed,
    // and assistive technology reading that row does not survive it.
    Component.onDestruction: view.model = null

    // The list itself takes focus only on its way in from Tab, and hands it on to its current
    // row's root when it has none of its controls: give it to the first control instead.
    onActiveFocusChanged: {
        if (activeFocus && holdsFocusItself())
            Qt.callLater(view.enter)
    }

    function holdsFocusItself() {
        const focused = Window.activeFocusItem
        return focused === view || isRow(focused)
    }

    // Whether `item` is a row's root or the scope right inside it (a Loader), where the focus falls
    // when the control holding it is destroyed.
    function holdsRowItself(item) {
        return item !== null && (isRow(item) || (item.parent !== null && isRow(item.parent) && !item.activeFocusOnTab))
    }

    // Whether `item` is a row's own root: a child of the content item other than the header and
    // the footer.
    function isRow(item) {
        return item !== null && item.parent === contentItem && item !== headerItem && item !== footerItem
    }

    function enter() {
        if (!view.activeFocus || !holdsFocusItself())
            return
        const first = headerItem ? controlsIn(headerItem) : []
        if (first.length > 0)
            first[0].forceActiveFocus(Qt.TabFocusReason)
        else if (!focusRow(0, 0))
            leave(view, true)
    }

    // Where Tab (forward) or Backtab brings the focus in from outside the list.
    function enterFrom(forward) {
        if (forward)
            return focusEdge(headerItem, true) || focusRow(0, 0) || focusEdge(footerItem, true)
        return focusEdge(footerItem, false) || focusRow(count - 1, -1) || focusEdge(headerItem, false)
    }

    // The control inside the list that last had the focus (whether it showed it, and its place in
    // its row), and whether the focus was inside.
    property Item lastControl: null
    property bool lastControlShowedFocus: false
    property int lastPlace: 0
    property string lastKey: ""
    // The model's key of the row that last held the focus, so the focus finds its item again after
    // the model started over (a reload in a new order) or the row was taken out and put back.
    property string lastRowKey: ""
    property int lastIndex: -1
    property bool focusWasInside: false
    // The current row when the model started over: where the focus goes when its item is gone.
    property int indexBeforeReset: -1
    // The key of the item that had the focus when the list was hidden, while the page's title keeps
    // it: shown again, the list gives it back to the item (or the one now in its place).
    property string awayKey: ""
    onVisibleChanged: {
        // Hidden with the focus in it (the page reloading): the focus waits on the page's title.
        if (!visible) {
            if (focusWasInside && FocusLanding.standInFor(view, lastControlShowedFocus))
                awayKey = lastKey !== "" ? lastKey : lastRowKey
            return
        }
        if (awayKey === "")
            return
        const key = awayKey
        awayKey = ""
        if (!FocusLanding.onStandIn(view))
            return
        const keyboard = FocusLanding.standInByKeyboard(view)
        const row = rowOfKey(key)
        const index = row >= 0 ? row : Math.min(Math.max(0, currentIndex), count - 1)
        if (!focusRow(index, lastPlace) && !landInView(keyboard))
            return
        focusKeyed(lastKey)
    }

    // The `itemKey` of the nearest item holding `item` that declares one; "" when none.
    function keyOf(item) {
        for (let it = item; it && it !== view; it = it.parent) {
            if (typeof it.itemKey === "string")
                return it.itemKey
        }
        return ""
    }
    // Gives the focus to the first control of the built item keyed `key`; false when none is built.
    function focusKeyed(key) {
        if (key === "")
            return false
        const walk = it => {
            if (!it.visible)
                return null
            if (typeof it.itemKey === "string" && it.itemKey === key)
                return it
            for (let i = 0; i < it.children.length; ++i) {
                const found = walk(it.children[i])
                if (found)
                    return found
            }
            return null
        }
        const found = walk(contentItem)
        const controls = found ? controlsIn(found) : []
        if (controls.length === 0)
            return false
        controls[0].forceActiveFocus(lastControlShowedFocus ? Qt.TabFocusReason : Qt.OtherFocusReason)
        return true
    }

    // Whether `control` still stands in the list: shown, and in the header, the footer or a row
    // of the model (a row taken out of the model stays a moment, at index -1, before it goes).
    function standing(control) {
        if (!control || !control.visible || !inside(control))
            return false
        const section = sectionOf(control)
        return section !== null && (!isRow(section) || section.index >= 0)
    }

    // The row of the model keyed `key` (a row's own key, or an item's in a row of several); -1.
    function rowOfKey(key) {
        return key !== "" && model && typeof model === "object" ? ModelKeys.rowOfKey(model, key) : -1
    }
    function keyAtRow(index) {
        return model && typeof model === "object" ? ModelKeys.keyAt(model, index) : ""
    }

    // The row holding the focus went (its item was removed, or the model started over), or its
    // control was disabled: the list made the row now at its index current and gave the focus to
    // that row's root, or kept it itself. Hand it to the control that had it when it is still
    // there, else to its item wherever that is now, else to the control at its place in the
    // current row (the next item, or the previous one after the last), else to the header.
    function restoreFocus(leftNowhere) {
        const focused = Window.activeFocusItem
        if (!leftNowhere && !holdsRowItself(focused) && focused !== view)
            return
        // Disabled while it had the focus (a row while it is added to): the window's FocusKeeper
        // keeps the focus for it on the page's title until it is enabled again.
        if (standing(lastControl) && !lastControl.enabled)
            return
        // The list itself hidden (its page reloading): the page's title keeps the focus for its
        // item until the list shows again.
        if (!view.visible) {
            if (FocusLanding.standInFor(view, lastControlShowedFocus))
                awayKey = lastKey !== "" ? lastKey : lastRowKey
            return
        }
        const before = indexBeforeReset
        indexBeforeReset = -1
        if (standing(lastControl) && lastControl.enabled) {
            lastControl.forceActiveFocus(lastControlShowedFocus ? Qt.TabFocusReason : Qt.OtherFocusReason)
            return
        }
        if (focusKeyed(lastKey))
            return
        const moved = rowOfKey(lastKey !== "" ? lastKey : lastRowKey)
        if (moved >= 0 && focusRow(moved, lastKey !== "" ? 0 : lastPlace)) {
            focusKeyed(lastKey)
            return
        }
        // Its item gone, the one now in its place (the one before after the last); none left, the
        // page's heading.
        const index = before >= 0 ? before : leftNowhere ? lastIndex : currentIndex
        if (index >= 0 && count > 0 && focusRow(Math.min(index, count - 1), lastPlace))
            return
        if (count === 0 && FocusLanding.standInFor(view, lastControlShowedFocus))
            return
        if (!landInView(lastControlShowedFocus))
            leave(view, true)
    }

    Connections {
        target: view.model && typeof view.model === "object" ? view.model : null
        ignoreUnknownSignals: true
        function onModelAboutToBeReset() {
            if (view.focusWasInside)
                view.indexBeforeReset = view.currentIndex
        }
        // Straight to where the focused item is now, so the rows are built there only.
        function onModelReset() {
            if (!view.focusWasInside)
                return
            const row = view.rowOfKey(view.lastKey !== "" ? view.lastKey : view.lastRowKey)
            if (row >= 0) {
                view.positionViewAtIndex(row, ListView.Contain)
                view.currentIndex = row
            }
        }
    }

    // Every move of the focus into, within or out of the list, as the window's FocusKeeper tells.
    function follow(focused, previous) {
        const wasInside = view.focusWasInside
        view.focusWasInside = focused !== null && view.inside(focused)
        // The control holding the focus went, and the focus fell to its row or to the list.
        if (view.holdsRowItself(focused) || (focused === view && wasInside)) {
            if (wasInside)
                Qt.callLater(view.restoreFocus)
            return
        }
        const row = focused ? view.sectionOf(focused) : null
        if (view.focusWasInside && focused !== view && (!view.isRow(row) || row.index >= 0)) {
            view.lastControl = focused
            view.lastControlShowedFocus = FocusLanding.keyboardFocused(focused)
            view.lastPlace = view.isRow(row) ? Math.max(0, view.controlsIn(row).indexOf(focused)) : 0
            view.lastKey = view.keyOf(focused)
            view.lastRowKey = view.isRow(row) ? view.keyAtRow(row.index) : ""
            view.lastIndex = view.isRow(row) ? row.index : -1
        }
        // However the focus came into a row (a click, a control's own move), that row is the
        // current one and stays built while scrolled away. In the header or the footer no row is:
        // Qt's list hands the focus to its current row each time that row's place changes (rows
        // coming above it), which would take it from the header to a row visited long before.
        if (view.isRow(row) && view.currentIndex !== row.index)
            view.currentIndex = row.index
        else if (row !== null && !view.isRow(row) && view.currentIndex !== -1)
            view.currentIndex = -1
        // A control of the footer: its place is only estimated until the rows before it are
        // laid out, so lay out the end first (the focus ring then brings it into view).
        if (view.footerItem && focused && row === view.footerItem
                && view.footerItem.y > view.contentY + view.height)
            view.positionViewAtEnd()
    }

    // Gives the focus to the first control in view: the header's, a row's from the top of the
    // view down, the footer's. False when none is in view.
    function landInView(keyboard) {
        const reason = keyboard ? Qt.TabFocusReason : Qt.OtherFocusReason
        const sections = []
        if (headerItem)
            sections.push(headerItem)
        const top = indexAt(width / 2, contentY + topMargin)
        for (let i = Math.max(0, top); i >= 0 && i < count; ++i) {
            const row = itemAtIndex(i)
            if (!row || row.y > contentY + height)
                break
            sections.push(row)
        }
        if (footerItem)
            sections.push(footerItem)
        for (const section of sections) {
            for (const control of controlsIn(section)) {
                if (FocusLanding.isInView(control)) {
                    control.forceActiveFocus(reason)
                    return true
                }
            }
        }
        return false
    }

    // The child of the content item (a row, the header or the footer) that holds `item`.
    function sectionOf(item) {
        for (let it = item; it; it = it.parent) {
            if (it.parent === view.contentItem)
                return it
        }
        return null
    }

    function inside(item) {
        for (let it = item; it; it = it.parent) {
            if (it === view)
                return true
        }
        return false
    }

    // The controls Tab stops at inside `item`, in Tab order.
    function controlsIn(item) {
        const found = []
        const walk = it => {
            if (!it.visible)
                return
            if (it.activeFocusOnTab && it.enabled)
                found.push(it)
            for (let i = 0; i < it.children.length; ++i)
                walk(it.children[i])
        }
        walk(item)
        return found
    }

    // Gives keyboard focus to row `index`: its control at `place` (0 the first, -1 the last, past
    // the end the last). False when there is no such row or it has no control.
    function focusRow(index, place) {
        if (index < 0 || index >= count)
            return false
        // (The top and the end directly: positioning at index 0 from far down costs with the
        // list's length.)
        if (index === 0)
            contentY = originY - topMargin
        else if (index === count - 1)
            positionViewAtEnd()
        else
            positionViewAtIndex(index, ListView.Contain)
        currentIndex = index
        let row = itemAtIndex(index)
        if (!row) {
            // Scrolled far: the rows there are made on the next layout, made now instead.
            forceLayout()
            row = itemAtIndex(index)
        }
        if (!row)
            return false
        const controls = controlsIn(row)
        if (controls.length === 0)
            return false
        const at = place < 0 ? controls.length - 1 : Math.min(place, controls.length - 1)
        controls[at].forceActiveFocus(Qt.TabFocusReason)
        return true
    }

    // Moves focus to the next (previous) control of the window outside the list.
    function leave(from, forward) {
        let next = from.nextItemInFocusChain(forward)
        for (let guard = 0; next && next !== from && inside(next) && guard < 100000; ++guard)
            next = next.nextItemInFocusChain(forward)
        if (next && next !== from && !inside(next))
            next.forceActiveFocus(forward ? Qt.TabFocusReason : Qt.BacktabFocusReason)
    }

    function focusEdge(section, forward) {
        const controls = section ? controlsIn(section) : []
        if (controls.length === 0)
            return false
        controls[forward ? 0 : controls.length - 1].forceActiveFocus(forward ? Qt.TabFocusReason
                                                                              : Qt.BacktabFocusReason)
        return true
    }

    // Tab and Backtab at the edge of a row, the header or the footer.
    function tab(focused, forward) {
        const section = sectionOf(focused)
        if (!section)
            return false
        const controls = controlsIn(section)
        const at = controls.indexOf(focused)
        if (at < 0 || (forward ? at < controls.length - 1 : at > 0))
            return false
        if (section === headerItem) {
            if (forward && !focusRow(0, 0) && !focusEdge(footerItem, true))
                leave(focused, true)
            if (!forward)
                leave(focused, false)
        } else if (section === footerItem) {
            if (!forward && !focusRow(count - 1, -1) && !focusEdge(headerItem, false))
                leave(focused, false)
            if (forward)
                leave(focused, true)
        } else {
            const index = section.index
            if (forward && !focusRow(index + 1, 0) && !focusEdge(footerItem, true))
                leave(focused, true)
            if (!forward && !focusRow(index - 1, -1) && !focusEdge(headerItem, false))
                leave(focused, false)
        }
        return true
    }

    // Tab and Backtab reach the list before the focused control, whose own move would follow the
    // item tree, where rows are missing and out of order.
    TabRouter {
        scope: view
        route: forward => view.tab(view.Window.activeFocusItem, forward)
        enter: forward => view.enterFrom(forward)
        landInView: keyboard => view.landInView(keyboard)
        onFocusMoved: (focused, previous) => view.follow(focused, previous)
        onFocusLeftNowhere: view.restoreFocus(true)
    }

    // The row a screen below (above) row `index`: as many rows on as a screen holds of rows like
    // it, the same number either way, so Page Up undoes Page Down; the last (first) row when the
    // list ends first.
    function rowAScreenFrom(index, forward) {
        const row = itemAtIndex(index)
        if (!row)
            return forward ? count - 1 : 0
        const screen = Math.max(1, height - topMargin - focusBottomInset)
        const rows = Math.max(1, Math.floor(screen / (row.height + spacing)) - 1)
        return Math.max(0, Math.min(count - 1, index + (forward ? rows : -rows)))
    }

    // The screens paged through, {from, to, forward}, latest last: the other Page key, pressed on
    // the row the last one landed on, goes back to where that one started, so Page Up undoes Page
    // Down exactly, whatever the rows' heights.
    property var pages: []
    function page(index, forward, place) {
        const last = pages.length > 0 ? pages[pages.length - 1] : null
        if (last && last.to === index && last.forward !== forward) {
            pages = pages.slice(0, -1)
            return focusRow(last.from, place)
        }
        if (!last || last.to !== index)
            pages = []
        const to = rowAScreenFrom(index, forward)
        const moved = to !== index && focusRow(to, place)
        if (moved)
            pages = pages.concat([{ from: index, to: to, forward: forward }])
        return moved
    }

    // The control a move up or down the rows left the focus on, and the place in its row the moves
    // keep to while it stays there.
    property var keptPlace: ({ control: null, place: 0 })
    Keys.onPressed: event => {
        const focused = Window.activeFocusItem
        if (!focused || focused === view)
            return
        const section = sectionOf(focused)
        if (!section)
            return
        if (section === headerItem || section === footerItem) {
            // Out of the header a screen down lands in the rows; out of the footer, up.
            if (event.key === Qt.Key_Home && count > 0)
                event.accepted = focusRow(0, 0) || true
            else if (event.key === Qt.Key_End && count > 0)
                event.accepted = focusRow(count - 1, 0) || true
            else if (event.key === Qt.Key_PageDown && section === headerItem && count > 0)
                event.accepted = focusRow(Math.max(0, indexAt(width / 2, contentY + height) ), 0) || true
            else if (event.key === Qt.Key_PageUp && section === footerItem && count > 0)
                event.accepted = focusRow(Math.max(0, indexAt(width / 2, contentY)), 0) || true
            return
        }
        // Up and down the rows, the place the moves started from: a shorter row (a grid's last)
        // puts the focus on its nearest control, and the next move goes on from the place before.
        const place = keptPlace.control === focused ? keptPlace.place : controlsIn(section).indexOf(focused)
        const vertical = event.key === Qt.Key_Down || event.key === Qt.Key_Up
                      || event.key === Qt.Key_PageDown || event.key === Qt.Key_PageUp
        if (event.key === Qt.Key_Down)
            event.accepted = focusRow(section.index + 1, place) || true
        else if (event.key === Qt.Key_Up)
            event.accepted = focusRow(section.index - 1, place) || true
        else if (event.key === Qt.Key_PageDown || event.key === Qt.Key_PageUp)
            event.accepted = page(section.index, event.key === Qt.Key_PageDown, place) || true
        if (vertical) {
            keptPlace = { control: Window.activeFocusItem, place: place }
            return
        }
        if (event.key === Qt.Key_Home)
            event.accepted = focusRow(0, 0) || true
        else if (event.key === Qt.Key_End)
            event.accepted = focusRow(count - 1, 0) || true
    }
}
