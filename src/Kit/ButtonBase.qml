import QtQuick
import QtQuick.Controls
import Melodrift

// What every button of the kit shares for the keyboard and assistive technology:
//   - Tab reaches it, in the window's visual order (right to left, as the items are declared);
//   - a focus ring shows while it holds keyboard focus, and brings it into view when scrolled away;
//   - Space, Enter and Return activate it; the Menu key (or Shift+F10) asks for its context menu;
//   - it is exposed as a button named by its `text` (icon-only buttons set `Accessible.name` to
//     their action, e.g. "جستجو"), whose press action does exactly what a click does;
//   - while hidden it is not exposed.
// Build buttons on it instead of AbstractButton:
//     ButtonBase { Accessible.name: "حساب کاربری"; focusRingRadius: 14; contentItem: ...; onClicked: ... }
AbstractButton {
    id: control

    // Corner radius of the focus ring: give the shape the button draws.
    property real focusRingRadius: 8
    // The focus ring, for a button that needs to place or shape it otherwise.
    readonly property alias focusRing: ring

    // Emitted by the Menu key or Shift+F10 (ContextMenu opens on it).
    signal contextMenuRequested()

    // Does what a click does (AbstractButton.click() comes only with Qt 6.8).
    function activate() {
        if (control.enabled && control.visible)
            control.clicked()
    }

    // A button that claims the focus (a retry, the first control of a result) takes it when it
    // comes while the focus waits on a stand-in for a control that went away.
    property bool claimsFocus: false
    function claimFocus() {
        if (claimsFocus && visible && enabled && FocusLanding.onStandIn(control))
            control.forceActiveFocus(FocusLanding.standInByKeyboard(control) ? Qt.TabFocusReason : Qt.OtherFocusReason)
    }
    onVisibleChanged: claimFocus()
    onEnabledChanged: claimFocus()

    property bool completed: false
    Component.onCompleted: {
        completed = true
        claimFocus()
    }

    focusPolicy: Qt.StrongFocus
    hoverEnabled: true

    // This Qt exposes every button as a button, whatever role is set. A button that shows a
    // selection (a tab, a chip) binds `checked` to it: it is exposed as checked, and a click does
    // not toggle it unless the button is `checkable`.
    Accessible.role: Accessible.Button
    // (Bound again once complete: the control resets the state while it is being completed.)
    Accessible.checked: control.completed && control.checked
    Accessible.name: control.text
    Accessible.focusable: true
    Accessible.ignored: !control.visible
    Accessible.onPressAction: control.activate()

    Keys.onReturnPressed: event => {
        event.accepted = true
        if (!event.isAutoRepeat)
            control.activate()
    }
    Keys.onEnterPressed: event => {
        event.accepted = true
        if (!event.isAutoRepeat)
            control.activate()
    }
    Keys.onMenuPressed: control.contextMenuRequested()
    Keys.onPressed: event => {
        if (event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier)) {
            event.accepted = true
            control.contextMenuRequested()
        }
    }

    FocusRing {
        id: ring
        radius: control.focusRingRadius
    }
}
