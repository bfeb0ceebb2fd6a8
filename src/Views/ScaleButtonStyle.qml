import QtQuick
import QtQuick.Controls
import Melodrift

// A button in the scale style: it draws nothing of its own and shrinks its label to 0.96 about
// the centre while pressed, springing back on release.
//     ScaleButtonStyle { contentItem: CardContent {}; onClicked: ... }
ButtonBase {
    id: control

    padding: 0
    background: null

    // Scale of the label; follows the pressed state with a spring (response 0.3 s, damping 0.7).
    readonly property real labelScale: pressed ? 0.96 : 1.0
    property real currentScale: labelScale
    Behavior on currentScale {
        // An under-damped spring settles in about its response time with a ~5 % overshoot.
        NumberAnimation { duration: 300; easing.type: Easing.OutBack; easing.overshoot: 1.0 }
    }

    Binding {
        target: control.contentItem
        property: "scale"
        value: control.currentScale
        when: control.contentItem !== null
        restoreMode: Binding.RestoreNone
    }
}
