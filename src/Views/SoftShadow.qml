import QtQuick
import Melodrift

// A soft shadow of a rounded rectangle, drawn behind the item it shadows:
//     SoftShadow { anchors.fill: card; radius: 14; color: Qt.rgba(0, 0, 0, 0.35); blur: 8; offsetY: 5 }
// Made of a few rounded layers that grow by the blur radius and fade outward, so it looks the
// same with every renderer.
Item {
    id: root

    property real radius: 0
    property color color: Qt.rgba(0, 0, 0, 0.35)
    property real blur: 8
    property real offsetX: 0
    property real offsetY: 0

    readonly property int steps: 5
    // Each layer's alpha, chosen so that where all of them overlap they add up to the colour's.
    readonly property real layerAlpha: 1 - Math.pow(1 - color.a, 1 / steps)

    // The layers are declared one by one rather than by a Repeater: every card has a shadow, and
    // a screen makes many cards at once.
    component Layer: Rectangle {
        property int index
        // Innermost layer first, inset by half the blur; the outermost reaches blur/2 beyond.
        readonly property real spread: root.blur * ((index + 0.5) / root.steps - 0.5)
        x: root.offsetX - spread
        y: root.offsetY - spread
        width: root.width + 2 * spread
        height: root.height + 2 * spread
        radius: Math.max(0, root.radius + spread)
        color: Qt.rgba(root.color.r, root.color.g, root.color.b, root.layerAlpha)
    }
    Layer { index: 0 }
    Layer { index: 1 }
    Layer { index: 2 }
    Layer { index: 3 }
    Layer { index: 4 }
}
