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
    // The page's colour under the tint, drawn with it (transparent: none): over an opaque base
    // the backdrop is one opaque picture, and what lies under it is not drawn again at every
    // step of a playing indicator.
    property color baseColor: "transparent"
    // True during the 0.9 s after the artwork changed.
    readonly property bool animating: fade.running

    property color shownTint: tint
    // Nothing eases out of sight (a covered page, a hidden window): the colour is simply taken.
    Behavior on shownTint {
        enabled: root.animating && root.visible && WindowExposure.exposed
        ColorAnimation { duration: 900; easing.type: Easing.InOutQuad }
    }

    onArtworkKeyChanged: fade.restart()
    // The animation window: changes of the tint that arrive with the new artwork are animated.
    Timer { id: fade; interval: 900 }

    HarmonicBackdrop {
        objectName: "backdrop"
        anchors.fill: parent
        tint: root.shownTint
        baseColor: root.baseColor
    }
}
