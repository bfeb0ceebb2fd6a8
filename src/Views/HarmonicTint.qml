import QtQuick
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

    // Painted into a texture of its own: a Shape here would be repainted whole, with everything
    // over it, at every step of a playing indicator on the page.
    RadialGlow {
        objectName: "radialGlow"
        anchors.fill: parent
        center: Qt.point(width / 2, height)
        centerRadius: 480
        focalRadius: 40
        color: root.withAlpha(0.3)
    }
}
