import QtQuick
import Melodrift

// The animated playing indicator: four bars in a row 20 high, each swinging between two heights
// (ease-in-out, 0.42 s each way, without end), out of step by their delays. Every time the row is
// shown the bars start again from their low positions.
//     EqualizerBars { tint: "white" }   // natural size 24.9 x 20
// A caller may frame it smaller (width 16, height 12): the bars keep their sizes and stay centred
// in that frame, reaching past it.
// The swing is stepped ten times a second rather than every frame: each step redraws the
// whole window, which on a software renderer costs far more than the indicator is worth. Every
// indicator steps on the one StepClock, so the mini bar's and a row's move in the same frame. It
// stops while the row is hidden or the window is not on screen.
Item {
    id: root

    property color tint: "white"
    // True once the swing has started (the row has been shown).
    property bool up: false

    readonly property real barWidth: 3.6
    readonly property real barSpacing: 3.5
    readonly property int halfSwing: 420

    // Milliseconds since the swing (re)started, as of the clock's last step.
    readonly property real elapsed: swinging ? Math.max(0, StepClock.now - startedAt) : 0
    property real startedAt: 0
    readonly property bool swinging: visible && WindowExposure.exposed

    implicitWidth: 4 * barWidth + 3 * barSpacing
    implicitHeight: 20

    onSwingingChanged: restart()
    Component.onCompleted: restart()

    function restart() {
        startedAt = StepClock.current()
        up = swinging
        StepClock.hold(root, swinging)
    }

    // The ease-in-out curve (control points 0.42, 0 and 0.58, 1) at x in [0, 1].
    function ease(x) {
        // Solve bx(t) = x for t by bisection (bx is monotonic), then return by(t).
        let lo = 0, hi = 1, t = x
        for (let i = 0; i < 14; ++i) {
            t = (lo + hi) / 2
            const u = 1 - t
            const bx = 3 * u * u * t * 0.42 + 3 * u * t * t * 0.58 + t * t * t
            if (bx < x) lo = t; else hi = t
        }
        const u = 1 - t
        return 3 * u * t * t + t * t * t
    }

    // 0 = the bar's low height, 1 = its high height, at `elapsed`.
    function level(delay) {
        const t = elapsed - delay
        if (t <= 0)
            return 0
        const phase = t % (2 * halfSwing)
        return phase < halfSwing ? ease(phase / halfSwing) : 1 - ease((phase - halfSwing) / halfSwing)
    }

    // Placed by hand rather than by a Row: a positioner would lay the bars out again after every
    // step, asking for one more frame. Declared one by one rather than by a Repeater, as every
    // track row of a list may show an indicator.
    component Bar: Rectangle {
        property int index
        property real upHeight
        property real downHeight
        property real delay
        // Right to left, the first bar stands on the right.
        readonly property int slot: root.LayoutMirroring.enabled ? 3 - index : index

        x: (root.width - root.implicitWidth) / 2 + slot * (root.barWidth + root.barSpacing)
        y: (root.height - height) / 2
        width: root.barWidth
        height: downHeight + (upHeight - downHeight) * root.level(delay)
        radius: 1.6
        color: root.tint
    }
    Bar { index: 0; upHeight: 19; downHeight: 8; delay: 0 }
    Bar { index: 1; upHeight: 9; downHeight: 15; delay: 140 }
    Bar { index: 2; upHeight: 14; downHeight: 19; delay: 280 }
    Bar { index: 3; upHeight: 8; downHeight: 13; delay: 420 }
}
