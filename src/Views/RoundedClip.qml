import QtQuick
import Qt5Compat.GraphicalEffects
import Melodrift

// Clips its children to a rounded rectangle (the screens' "clipped to a continuous rounded
// rectangle of radius r"):
//     RoundedClip { width: 96; height: 96; radius: 14; ArtworkImage { anchors.fill: parent } }
// The rounded mask needs a graphics API; the software renderer (headless tests) cannot run it and
// clips to the plain rectangle instead.
Item {
    id: root

    property real radius: 0
    default property alias content: holder.data

    readonly property bool masks: radius > 0 && GraphicsInfo.api !== GraphicsInfo.Unknown
                                  && GraphicsInfo.api !== GraphicsInfo.Software

    Item {
        id: holder
        anchors.fill: parent
        clip: true
        layer.enabled: root.masks
        layer.smooth: true
        layer.effect: OpacityMask {
            maskSource: Rectangle {
                width: holder.width
                height: holder.height
                radius: root.radius
            }
        }
    }
}
