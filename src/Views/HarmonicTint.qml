import QtQuick
import QtQuick.Shapes
import Melodrift

// The backdrop tinted with the colour of the playing artwork:
//     HarmonicTint { tint: RadioPlayer.themeColor; artworkKey: <the current track's artwork address> }
// A top-to-bottom gradient of the tint at 0.55, 0.25 and 0.1 over a radial glow of the tint at 0.3
// rising from the bottom. A change of `artworkKey` animates the backdrop with ease-in-out over
// 0.9 s; a change of the tint alone follows at once (the player animates its colour itself).
Item {
    id: root

    property color tint: Theme.accent
    property string artworkKey
    // True during the 0.9 s after the artwork changed.
    readonly property bool animating: fade.running

    property color shownTint: tint
    // Nothing eases out of sight (a covered page, a hidden window): the colour is simply taken.
    Behavior on shownTint {
        enabled: root.animating && root.visible && WindowExposure.exposed
        ColorAnimation { duration: 900; easing.type: Easing.InOutQuad }
    }

    function withAlpha(opacity) {
        return Qt.rgba(shownTint.r, shownTint.g, shownTint.b, opacity)
    }

    onArtworkKeyChanged: fade.restart()
    // The animation window: changes of the tint that arrive with the new artwork are animated.
    Timer { id: fade; interval: 900 }

    Rectangle {
        anchors.fill: parent
        gradient: Gradient {
            GradientStop { position: 0.0; color: root.withAlpha(0.55) }
            GradientStop { position: 0.5; color: root.withAlpha(0.25) }
            GradientStop { position: 1.0; color: root.withAlpha(0.1) }
        }
    }

    Shape {
        anchors.fill: parent
        ShapePath {
            strokeWidth: -1
            strokeColor: "transparent"
            fillGradient: RadialGradient {
                centerX: root.width / 2
                centerY: root.height
                centerRadius: 480
                focalX: centerX
                focalY: centerY
                focalRadius: 40
                GradientStop { position: 0.0; color: root.withAlpha(0.3) }
                GradientStop { position: 1.0; color: "transparent" }
            }
            startX: 0; startY: 0
            PathLine { x: root.width; y: 0 }
            PathLine { x: root.width; y: root.height }
            PathLine { x: 0; y: root.height }
            PathLine { x: 0; y: 0 }
        }
    }
}
