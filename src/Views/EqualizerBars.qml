import QtQuick
import Melodrift

// The animated playing indicator: four bars in a row 20 high, each swinging between two heights
// (ease-in-out, 0.42 s each way, without end), out of step by their delays. Every time the row is
// shown the bars start again from their low positions.
//     EqualizerBars { tint: "white" }   // natural size 24.9 x 20
// A caller may frame it smaller (width 16, height 12): the bars keep their sizes and stay centred
// in that frame, reaching past it.
Item {
    id: root

    property color tint: "white"
    // True once the swing has started (the row has been shown).
    property bool up: false

    readonly property var bars: [
        { upHeight: 19, downHeight: 8, delay: 0 },
        { upHeight: 9, downHeight: 15, delay: 140 },
        { upHeight: 14, downHeight: 19, delay: 280 },
        { upHeight: 8, downHeight: 13, delay: 420 }
    ]
    readonly property real barWidth: 3.6
    readonly property real barSpacing: 3.5

    implicitWidth: 4 * barWidth + 3 * barSpacing
    implicitHeight: 20

    onVisibleChanged: restart()
    Component.onCompleted: restart()

    function restart() {
        up = false
        for (let i = 0; i < repeater.count; ++i)
            repeater.itemAt(i).restart()
        up = visible
    }

    Row {
        anchors.centerIn: parent
        spacing: root.barSpacing

        Repeater {
            id: repeater
            model: root.bars

            Rectangle {
                id: bar
                required property var modelData

                property real level: 0 // 0 = low height, 1 = high height

                width: root.barWidth
                height: modelData.downHeight + (modelData.upHeight - modelData.downHeight) * level
                radius: 1.6
                color: root.tint
                anchors.verticalCenter: parent.verticalCenter

                function restart() {
                    swing.stop()
                    level = 0
                    if (root.visible)
                        swing.start()
                }

                SequentialAnimation {
                    id: swing
                    PauseAnimation { duration: bar.modelData.delay }
                    SequentialAnimation {
                        loops: Animation.Infinite
                        NumberAnimation {
                            target: bar; property: "level"; from: 0; to: 1; duration: 420
                            easing.type: Easing.BezierSpline; easing.bezierCurve: [0.42, 0, 0.58, 1, 1, 1]
                        }
                        NumberAnimation {
                            target: bar; property: "level"; from: 1; to: 0; duration: 420
                            easing.type: Easing.BezierSpline; easing.bezierCurve: [0.42, 0, 0.58, 1, 1, 1]
                        }
                    }
                }
            }
        }
    }
}
