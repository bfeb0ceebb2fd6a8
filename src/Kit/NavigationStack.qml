import QtQuick
import QtQuick.Controls
import Melodrift

// A navigation stack of NavigationPage items.
//     NavigationStack { id: nav; initialItem: Component { HomeView {} } }
// A page pushes and pops through its `navigationStack`:
//     navigationStack.push(detailPage, { station: s })   // a Component or a "qrc:/Melodrift/X.qml" URL
//     navigationStack.pop()                              // or popToRoot()
// Pages pushed as a Component or URL are destroyed when popped (their `popped` signal fires first),
// so a screen model that belongs to a page goes with it. Every page sees the same stores, as
// they are QML singletons. A page pushed while the keyboard focus was in the stack gets it on its
// first control once it has slid in (FocusLanding); when it is popped, the focus goes back to the
// control it was pushed from (a card, a row), else to the first control of the page shown again.
StackView {
    id: stack

    // Pages reach the stack through NavigationPage.navigationStack.
    readonly property Item navigationStack: stack

    // Not a node of its own: this Qt reads a stack as an unnamed "layered pane", which a screen
    // reader says each time the focus comes in; its pages are named panels.
    Accessible.ignored: true

    function popToRoot() {
        if (stack.depth > 1)
            stack.pop(null)
    }

    property int knownDepth: 0
    property bool landingFocus: false
    property bool landingByKeyboard: false
    // For each page under the top one, the control it had the focus on when the next was pushed
    // (null when the focus was elsewhere), and whether the keyboard had put it there.
    property var openers: []
    property Item returningTo: null
    property bool returning: false
    onDepthChanged: {
        if (knownDepth > 0 && depth > knownDepth) {
            const focused = FocusLanding.focusWithin(stack) ? Window.activeFocusItem : null
            const byKeyboard = FocusLanding.keyboardFocused(stack)
            while (openers.length < depth - 1)
                openers.push({ item: focused, keyboard: byKeyboard })
            if (focused) {
                landingFocus = true
                landingByKeyboard = byKeyboard
                Qt.callLater(stack.landFocus)
            }
        } else if (depth < knownDepth) {
            const opener = openers.length >= depth ? openers[Math.max(0, depth - 1)] : null
            openers = openers.slice(0, Math.max(0, depth - 1))
            // Only when the focus was in the page going away (or nowhere): a click elsewhere stays.
            const focused = Window.activeFocusItem
            // (The control it was pushed from may be gone by now: signing out takes the account
            // link away. The page shown again then lands it on its first control in view.)
            if (opener && (!focused || FocusLanding.focusWithin(stack) || focused === Window.contentItem)) {
                returningTo = opener.item
                landingByKeyboard = opener.keyboard
                returning = true
                Qt.callLater(stack.landFocus)
            }
        }
        knownDepth = depth
    }
    onBusyChanged: landFocus()
    function landFocus() {
        if (busy || !currentItem)
            return
        if (returning) {
            returning = false
            const back = returningTo
            returningTo = null
            // Without the control it was pushed from, the first control in view of the page shown
            // again: not the one Qt hands the focus back to, whatever last had it in that page.
            if (back && back.visible && back.enabled && currentItem.parent && back.Window.window)
                back.forceActiveFocus(landingByKeyboard ? Qt.BacktabFocusReason : Qt.OtherFocusReason)
            else
                FocusLanding.moveInto(currentItem, landingByKeyboard)
            return
        }
        if (!landingFocus)
            return
        landingFocus = false
        FocusLanding.enter(currentItem, landingByKeyboard)
    }

    // Pages slide in from the trailing edge (the left in RTL) and back out to it.
    readonly property real slideDistance: mirrored ? -width : width

    pushEnter: Transition {
        XAnimator { from: stack.slideDistance; to: 0; duration: 300; easing.type: Easing.OutCubic }
    }
    pushExit: Transition {
        XAnimator { from: 0; to: -stack.slideDistance * 0.3; duration: 300; easing.type: Easing.OutCubic }
    }
    popEnter: Transition {
        XAnimator { from: -stack.slideDistance * 0.3; to: 0; duration: 300; easing.type: Easing.OutCubic }
    }
    popExit: Transition {
        XAnimator { from: 0; to: stack.slideDistance; duration: 300; easing.type: Easing.OutCubic }
    }
    replaceEnter: pushEnter
    replaceExit: pushExit
}
