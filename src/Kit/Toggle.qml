import QtQuick
import QtQuick.Controls
import Melodrift

// The system switch without a visible title: a rounded track that fills with the tint when on,
// and a white knob. Name it for assistive technology:
//     Toggle { checked: model.enabled; onToggled: model.enabled = checked; Accessible.name: "اکولایزر" }
// toggled() comes for every switch by the listener: a click or a drag, Space, Enter, and the
// assistive Toggle and Press actions (which Qt alone would carry out without it).
Switch {
    id: control

    property color tint: Theme.accent

    // Does what a click does.
    function activate() {
        if (!control.enabled || !control.visible)
            return
        control.toggle()
        control.toggled()
    }

    padding: 0
    spacing: 0
    // The switch is its track: without this it would be as wide as its empty content, 0, and no
    // click could reach it.
    implicitWidth: indicator.implicitWidth + leftPadding + rightPadding
    focusPolicy: Qt.StrongFocus
    Keys.onReturnPressed: control.activate()
    Keys.onEnterPressed: control.activate()
    Accessible.focusable: true
    Accessible.ignored: !control.visible
    Accessible.onToggleAction: control.activate()
    Accessible.onPressAction: control.activate()

    indicator: Rectangle {
        implicitWidth: 51
        implicitHeight: 31
        x: control.leftPadding
        y: control.topPadding + (control.availableHeight - height) / 2
        radius: height / 2
        color: control.checked ? control.tint : Qt.rgba(1, 1, 1, 0.16)
        // Disabled, the whole switch fades, knob included.
        opacity: control.enabled ? 1.0 : 0.4
        Behavior on color { ColorAnimation { duration: 150 } }

        FocusRing {
            target: control
            radius: height / 2
        }

        Rectangle {
            width: 27
            height: 27
            radius: height / 2
            y: 2
            // Mirrored with the layout: on lies at the trailing edge.
            x: (control.checked !== control.mirrored) ? parent.width - width - 2 : 2
            color: "white"
            Behavior on x { NumberAnimation { duration: 150; easing.type: Easing.OutCubic } }
        }
    }
    contentItem: Item {}
}
