import QtQuick
import QtQuick.Controls
import Melodrift

// The system continuous slider: a thin track filled with the tint up to the value, and a white
// knob. Arrow keys move it by `stepSize` (1 unless set); name it for assistive technology:
//     ValueSlider { from: -12; to: 12; value: model.gain; onMoved: model.setGain(value); Accessible.name: "بیس" }
Slider {
    id: control

    property color tint: Theme.accent

    padding: 0
    stepSize: 0
    focusPolicy: Qt.StrongFocus
    // The keyboard step; the slider itself has no steps.
    property real keyStep: 1

    Keys.onLeftPressed: event => control.nudge(control.mirrored ? keyStep : -keyStep, event)
    Keys.onRightPressed: event => control.nudge(control.mirrored ? -keyStep : keyStep, event)
    Keys.onUpPressed: event => control.nudge(keyStep, event)
    Keys.onDownPressed: event => control.nudge(-keyStep, event)

    function nudge(delta, event) {
        control.value = Math.max(control.from, Math.min(control.to, control.value + delta))
        control.moved()
        event.accepted = true
    }

    Accessible.focusable: true
    Accessible.ignored: !control.visible
    Accessible.onIncreaseAction: nudge(keyStep, { accepted: true })
    Accessible.onDecreaseAction: nudge(-keyStep, { accepted: true })

    implicitWidth: 200
    implicitHeight: 28

    background: Item {
        x: control.leftPadding
        y: control.topPadding
        width: control.availableWidth
        height: control.availableHeight

        Rectangle {
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width
            height: 4
            radius: 2
            color: Qt.rgba(1, 1, 1, 0.16)

            Rectangle {
                // Filled from the start edge (the right in a mirrored layout) to the knob.
                x: control.mirrored ? control.visualPosition * parent.width : 0
                width: (control.mirrored ? 1 - control.visualPosition : control.visualPosition) * parent.width
                height: parent.height
                radius: parent.radius
                color: control.tint
                opacity: control.enabled ? 1.0 : 0.5
            }
        }
    }

    handle: Rectangle {
        x: control.leftPadding + control.visualPosition * (control.availableWidth - width)
        y: control.topPadding + (control.availableHeight - height) / 2
        implicitWidth: 24
        implicitHeight: 24
        radius: 12
        color: "white"
    }

    FocusRing {
        radius: height / 2
    }
}
