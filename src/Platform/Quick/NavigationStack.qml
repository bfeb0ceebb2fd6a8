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
// first control once it has slid in (FocusLanding).
StackView {
    id: stack

    // Pages reach the stack through NavigationPage.navigationStack.
    readonly property Item navigationStack: stack

    function popToRoot() {
        if (stack.depth > 1)
            stack.pop(null)
    }

    property int knownDepth: 0
    property bool landingFocus: false
    property bool landingByKeyboard: false
    onDepthChanged: {
        if (knownDepth > 0 && depth > knownDepth && FocusLanding.focusWithin(stack)) {
            landingFocus = true
            landingByKeyboard = FocusLanding.keyboardFocused(stack)
            Qt.callLater(stack.landFocus)
        }
        knownDepth = depth
    }
    onBusyChanged: landFocus()
    function landFocus() {
        if (!landingFocus || busy || !currentItem)
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
