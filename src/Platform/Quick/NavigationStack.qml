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
// they are QML singletons.
StackView {
    id: stack

    // Pages reach the stack through NavigationPage.navigationStack.
    readonly property Item navigationStack: stack

    function popToRoot() {
        if (stack.depth > 1)
            stack.pop(null)
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
