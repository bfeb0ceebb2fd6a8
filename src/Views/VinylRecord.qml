import QtQuick
import Melodrift

// The full player's record: a dark disc with two faint outer rings, the artwork as a round label
// and a spindle, turning one revolution every 12 s while `turning` is true:
//     VinylRecord { outer: 300; artworkURL: model.artworkURL; turning: model.isRotating; baseRotation: model.rotation }
// The whole record occupies (outer + 24) x (outer + 24). When it stops, it stays at the angle it
// has reached; a new start goes on from there.
//
// Cheap to keep turning: the round label is baked once per picture (BakedArtworkPicture) and is
// all that turns, so a step only moves it, sampled without smoothing while it turns. The angle
// steps at a modest rate, and only while the record can be seen.
Item {
    id: root

    property real outer: 300
    property var artworkURL
    property bool turning: false
    // Whole turns added by each start (the screen's own count, a multiple of 360).
    property real baseRotation: 0

    readonly property real inner: outer * 0.78
    readonly property real center: outer * 0.105
    readonly property real degreesPerSecond: 360 / 12
    // Ten steps a second, 3 degrees each: under software OpenGL every step redraws the whole
    // window (about 11 ms of one core here).
    readonly property int stepInterval: 100
    // Degrees turned so far, modulo 360.
    property real turned: 0
    readonly property bool running: turning && visible && Window.window !== null
                                     && Window.window.visibility !== Window.Hidden
                                     && Window.window.visibility !== Window.Minimized

    implicitWidth: outer + 24
    implicitHeight: outer + 24

    Item {
        id: disc
        objectName: "record"
        anchors.centerIn: parent
        width: root.outer + 24
        height: width

        Rectangle {
            anchors.centerIn: parent
            width: root.outer
            height: width
            radius: width / 2
            color: Qt.rgba(0, 0, 0, 0.35)
            border.width: 1
            border.color: Qt.rgba(1, 1, 1, 0.06)
        }

        Repeater {
            model: 2
            Rectangle {
                required property int index
                anchors.centerIn: parent
                width: root.outer + 12 * (index + 1)
                height: width
                radius: width / 2
                color: "transparent"
                border.width: 5
                border.color: Qt.rgba(1, 1, 1, 0.04)
            }
        }

        // The label: the placeholder until the picture is in, then the baked round picture. Only
        // the label turns: the disc, its rings and the spindle are circles, which look the same at
        // every angle, and a software renderer draws a turned circle through a picture of its own
        // on every step.
        Item {
            id: label
            anchors.centerIn: parent
            width: root.inner
            height: width
            rotation: root.baseRotation + root.turned

            Rectangle {
                anchors.fill: parent
                visible: !picture.ready
                radius: width / 2
                gradient: Gradient {
                    GradientStop { position: 0.0; color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.55) }
                    GradientStop { position: 1.0; color: Qt.rgba(Theme.purple.r, Theme.purple.g, Theme.purple.b, 0.35) }
                }
            }
            SymbolImage {
                anchors.centerIn: parent
                visible: !picture.ready
                symbol: "dot.radiowaves.left.and.right"
                size: 30
                color: Qt.rgba(1, 1, 1, 0.5)
            }
            ProgressView {
                anchors.centerIn: parent
                visible: picture.status === ArtworkPicture.Loading
                tint: Qt.rgba(1, 1, 1, 0.6)
            }
            BakedArtworkPicture {
                id: picture
                objectName: "recordLabel"
                readonly property bool ready: status === ArtworkPicture.Ready
                anchors.fill: parent
                circular: true
                source: ServerAddress.absolute(root.artworkURL)
                visible: ready
                // Sampled plainly while it turns (a bilinear turn of the whole label costs the
                // software renderer more than the rest of the step; the outline above covers the
                // edge), smoothly once it stands.
                smooth: !root.running
            }
        }
        // The label's outline, a circle, stays put over it: a turned one would be one more
        // picture turned on every step.
        Rectangle {
            anchors.centerIn: parent
            width: root.inner
            height: width
            radius: width / 2
            color: "transparent"
            border.width: 1
            border.color: Qt.rgba(1, 1, 1, 0.15)
        }

        Rectangle {
            anchors.centerIn: parent
            width: root.center
            height: width
            radius: width / 2
            color: "black"
            Rectangle {
                anchors.centerIn: parent
                width: root.center * 0.3
                height: width
                radius: width / 2
                color: Qt.rgba(1, 1, 1, 0.25)
            }
        }
    }

    Timer {
        id: step
        interval: root.stepInterval
        repeat: true
        running: root.running
        property double last: 0
        onRunningChanged: last = Date.now()
        onTriggered: {
            const now = Date.now()
            // A long stall (a suspended process) does not make the record jump.
            const elapsed = Math.min(now - last, 4 * interval)
            last = now
            root.turned = (root.turned + elapsed * root.degreesPerSecond / 1000) % 360
        }
    }
}
