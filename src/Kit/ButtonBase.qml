import QtQuick
import QtQuick.Controls
import Melodrift

// What every button of the kit shares for the keyboard and assistive technology:
//   - Tab reaches it, in the window's visual order (right to left, as the items are declared);
//   - a focus ring shows while it holds keyboard focus, and brings it into view when scrolled away;
//   - Space, Enter and Return activate it; the Menu key (or Shift+F10) asks for its context menu;
//   - it is exposed as a button named by its `text` (icon-only buttons set `Accessible.name` to
//     their action, e.g. "جستجو"), whose press action does exactly what a click does; a button
//     that shows a state declares what it is with `accessibleRole` and shows the state in
//     `checked`: `Accessible.CheckBox` (on or off, like a heart), `Accessible.RadioButton` (one of
//     a group, like a category chip), `Accessible.PageTab` (a tab, selected while checked);
//   - a selection made with Enter or Return (or Space on a tab), which a screen reader does not
//     say by itself, is told (Announcements);
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
        if (!control.enabled || !control.visible)
            return
        control.activatedByPointer = false
        control.clicked()
    }
    // Whether the latest activation was a pointer's press, not a key's or assistive technology's:
    // what it opens shows the focus where it lands, and gives it back showing, only for the latter.
    property bool activatedByPointer: false
    onPressed: activatedByPointer = !spacePressed

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

    // What assistive technology reads it as (this Qt reads every button as a push button,
    // whatever role QML sets: the kit's accessible layer applies this one). A button that shows a
    // state binds `checked` to it; a click does not toggle it unless the button is `checkable`.
    property int accessibleRole: Accessible.Button
    Accessible.role: accessibleRole
    // (Bound again once complete: the control resets the state while it is being completed.)
    Accessible.checked: control.completed && control.checked
    Accessible.name: control.text
    Accessible.focusable: true
    Accessible.ignored: !control.visible
    Accessible.onPressAction: control.activate()

    Keys.onReturnPressed: event => {
        event.accepted = true
        if (!event.isAutoRepeat)
            control.activateFromKeys()
    }
    Keys.onEnterPressed: event => {
        event.accepted = true
        if (!event.isAutoRepeat)
            control.activateFromKeys()
    }

    // Readers say a radio button's selection only when Space makes it, a tab's never.
    readonly property bool selects: accessibleRole === Accessible.RadioButton || accessibleRole === Accessible.PageTab
    function activateFromKeys() {
        const wasChecked = control.checked
        control.activate()
        if (control.selects)
            Qt.callLater(control.tellSelection, wasChecked)
    }
    function tellSelection(wasChecked) {
        if (control.checked && !wasChecked && control.activeFocus)
            Announcements.announce(control, control.Accessible.name + "، انتخاب شد")
    }
    // (Space is the button's own key: it takes effect as the button is released.)
    property bool spacePressed: false
    onReleased: {
        if (control.spacePressed && control.accessibleRole === Accessible.PageTab)
            Qt.callLater(control.tellSelection, control.checked)
        control.spacePressed = false
    }
    Keys.onMenuPressed: control.contextMenuRequested()
    Keys.onPressed: event => {
        spacePressed = event.key === Qt.Key_Space
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
