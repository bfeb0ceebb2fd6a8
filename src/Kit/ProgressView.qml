import QtQuick
import Melodrift

// The system progress indicator (a spinner): a ring of spokes turning while visible, a spoke a step.
//     ProgressView { tint: "white" }      // 20 x 20 at its natural size
Item {
    id: root

    property color tint: Theme.gray
    readonly property bool running: visible && WindowExposure.exposed

    implicitWidth: 20
    implicitHeight: 20

    onRunningChanged: StepClock.hold(root, running)
    Component.onCompleted: StepClock.hold(root, running)

    Item {
        id: wheel
        anchors.centerIn: parent
        width: Math.min(root.width, root.height)
        height: width

        // Declared one by one rather than by a Repeater: a screen shows a spinner on every
        // artwork still loading, and these are made many at a time.
        component Spoke: Rectangle {
            property int index
            width: wheel.width * 0.11
            height: wheel.height * 0.28
            radius: width / 2
            color: root.tint
            opacity: 1.0 - index * 0.11
            x: (wheel.width - width) / 2
            y: 0
            transform: Rotation {
                origin.x: width / 2
                origin.y: wheel.height / 2
                angle: -index * 45
            }
        }
        Spoke { index: 0 }
        Spoke { index: 1 }
        Spoke { index: 2 }
        Spoke { index: 3 }
        Spoke { index: 4 }
        Spoke { index: 5 }
        Spoke { index: 6 }
        Spoke { index: 7 }

        // Turned a spoke at a time on the step clock, as the system's spinner turns: an animator
        // would have the software renderer draw the next frame as soon as the last is out (some
        // 180 a second), and on the clock the spinner's steps share their frames with the
        // playing indicators'.
        Connections {
            target: StepClock
            enabled: root.running
            function onStepped() { wheel.rotation = (wheel.rotation + 45) % 360 }
        }
    }
}
