import QtQuick
import QtQuick.Controls
import Melodrift

// The system continuous slider: a thin track filled with the tint up to the value, and a white
// knob. Bind what it shows to `modelValue` (not `value`) and apply `value` in `onMoved`:
//     ValueSlider { from: -12; to: 12; modelValue: model.gain; onMoved: model.setGain(value); Accessible.name: "بیس" }
// moved() comes for every change the listener makes: a drag, the arrow keys (by `stepSize`, 1
// unless set; a drag is not stepped), or assistive technology setting the value or stepping it;
// never for a change of `modelValue`. Assistive technology reads the range and the step. While
// disabled it refuses every value (the knob stays at `modelValue`) and is drawn in greys: the
// filled part and the knob lose their colour, the track fades.
Slider {
    id: control

    property color tint: Theme.accent
    // The model's value, which the knob shows while nobody moves it.
    property real modelValue: 0
    // The range as assistive technology reads it.
    readonly property real minimumValue: from
    readonly property real maximumValue: to
    // The model's value moves by itself with the clock (a playing position): assistive
    // technology reads it when it asks, but is not told of each step, only of the listener's own
    // moves (the kit's accessible layer holds those events back while `showingModel`).
    property bool followsClock: false

    padding: 0
    stepSize: 1
    focusPolicy: Qt.StrongFocus

    // The knob shows the model's value: set here (not bound, as a write from outside would leave a
    // binding waiting for the model's next change) whenever the model or the enabled state changes.
    property bool completed: false
    property bool showingModel: false
    function showModelValue() {
        showingModel = true
        value = modelValue
        showingModel = false
    }
    onModelValueChanged: showModelValue()
    onEnabledChanged: showModelValue()
    onFromChanged: if (completed) showModelValue()
    onToChanged: if (completed) showModelValue()
    Component.onCompleted: {
        showModelValue()
        completed = true
    }

    // A change that is not the model's and not a drag (which emits moved() itself): the keys
    // below, or assistive technology setting the value or stepping it. A disabled slider takes
    // none: its knob returns to the model's value at once.
    onValueChanged: {
        if (!completed || showingModel || pressed)
            return
        if (!enabled) {
            showModelValue()
            return
        }
        const shown = Math.max(Math.min(from, to), Math.min(Math.max(from, to), modelValue))
        if (Math.abs(value - shown) > 1e-9)
            control.moved()
    }

    // Left and Right are the slider's own (following the layout's direction); Up and Down too.
    Keys.onUpPressed: control.increase()
    Keys.onDownPressed: control.decrease()

    Accessible.focusable: true
    Accessible.ignored: !control.visible

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
            color: Qt.rgba(1, 1, 1, control.enabled ? 0.16 : 0.08)

            Rectangle {
                // Filled from the start edge (the right in a mirrored layout) to the knob.
                x: control.mirrored ? control.visualPosition * parent.width : 0
                width: (control.mirrored ? 1 - control.visualPosition : control.visualPosition) * parent.width
                height: parent.height
                radius: parent.radius
                color: control.enabled ? control.tint : Qt.rgba(1, 1, 1, 0.28)
            }
        }
    }

    handle: Rectangle {
        x: control.leftPadding + control.visualPosition * (control.availableWidth - width)
        y: control.topPadding + (control.availableHeight - height) / 2
        implicitWidth: 24
        implicitHeight: 24
        radius: 12
        // Opaque, so the track does not show through it.
        color: control.enabled ? "white" : "#5c5c60"
    }

    FocusRing {
        radius: height / 2
    }
}
