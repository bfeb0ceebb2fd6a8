import QtQuick
import Melodrift

// The animated playing indicator: four bars in a row 20 high, each swinging between two heights
// (ease-in-out, 0.42 s each way, without end), out of step by their delays. Every time the row is
// shown the bars start again from their low positions.
//     EqualizerBars { tint: "white" }   // natural size 24.9 x 20
// A caller may frame it smaller (width 16, height 12): the bars keep their sizes and stay centred
// in that frame, reaching past it.
// The swing is stepped seven times a second (three steps each way) rather than every frame: each
// step is a frame of the whole window, which on a software renderer costs far more than the
// indicator is worth. Every
// indicator steps on the one StepClock, so the mini bar's and a row's move in the same frame. It
// stops while the row is hidden or the window is not on screen.
Item {
    id: root

    property color tint: "white"
    // True once the swing has started (the row has been shown).
    property bool up: false

    readonly property bool swinging: visible && WindowExposure.exposed

    implicitWidth: 4 * 3.6 + 3 * 3.5
    implicitHeight: 20

    onSwingingChanged: restart()
    Component.onCompleted: restart()

    function restart() {
        up = swinging
    }

    // The bars, one picture centred in the row (reaching past a smaller frame): one rectangle for
    // the renderer to redraw at each step. It follows the clock itself, without a binding to
    // evaluate at every step.
    EqualizerBarsPicture {
        objectName: "barsPicture"
        anchors.centerIn: parent
        width: root.implicitWidth
        height: root.implicitHeight
        swinging: root.swinging
        tint: root.tint
        // Right to left, the first bar stands on the right.
        mirrored: root.LayoutMirroring.enabled
    }
}
