import QtQuick
import QtQuick.Shapes
import Melodrift

// An artwork picture loaded asynchronously from a backend address, with a radio-waves
// placeholder while it loads (with a spinner) and when it fails or there is no address (without):
//     ArtworkImage { width: 96; height: 96; urlString: station.artworkURL; cornerRadius: 14 }
// `urlString` is a server path ("/artwork/x.jpg"), an absolute or "file://" address, or
// undefined. Picture and placeholder are both cut to a rounded rectangle of `cornerRadius`: the
// picture once when it arrives, the placeholder as its own outline, so nothing is masked per frame.
Item {
    id: root

    property var urlString
    property real cornerRadius: 0

    readonly property url source: ServerAddress.absolute(urlString)
    // Loading phase: the picture shows once it is ready; the spinner only while it loads.
    readonly property bool loaded: picture.status === ArtworkPicture.Ready
    readonly property bool loading: picture.status === ArtworkPicture.Loading

    // The placeholder: a gradient from the top leading corner (the right in RTL) to the bottom
    // trailing corner, with the radio-waves glyph.
    Shape {
        id: placeholder
        objectName: "placeholder"
        anchors.fill: parent
        visible: !root.loaded

        readonly property bool mirrored: root.LayoutMirroring.enabled

        ShapePath {
            id: outline
            strokeWidth: -1
            strokeColor: "transparent"
            fillGradient: LinearGradient {
                x1: placeholder.mirrored ? placeholder.width : 0
                y1: 0
                x2: placeholder.mirrored ? 0 : placeholder.width
                y2: placeholder.height
                GradientStop { position: 0.0; color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.55) }
                GradientStop { position: 1.0; color: Qt.rgba(Theme.purple.r, Theme.purple.g, Theme.purple.b, 0.35) }
            }
            readonly property real r: Math.min(root.cornerRadius, placeholder.width / 2, placeholder.height / 2)
            startX: r; startY: 0
            PathLine { x: placeholder.width - outline.r; y: 0 }
            PathArc { x: placeholder.width; y: outline.r; radiusX: outline.r; radiusY: outline.r }
            PathLine { x: placeholder.width; y: placeholder.height - outline.r }
            PathArc { x: placeholder.width - outline.r; y: placeholder.height; radiusX: outline.r; radiusY: outline.r }
            PathLine { x: outline.r; y: placeholder.height }
            PathArc { x: 0; y: placeholder.height - outline.r; radiusX: outline.r; radiusY: outline.r }
            PathLine { x: 0; y: outline.r }
            PathArc { x: outline.r; y: 0; radiusX: outline.r; radiusY: outline.r }
        }
    }

    SymbolImage {
        anchors.centerIn: parent
        visible: !root.loaded
        symbol: "dot.radiowaves.left.and.right"
        size: 30
        color: Qt.rgba(1, 1, 1, 0.5)
    }

    // Made while the picture loads only: a renderer without a GPU walks every node of the scene
    // at every frame, hidden ones too, and every artwork that has loaded would keep a hidden
    // spinner of eight spokes.
    Loader {
        anchors.centerIn: parent
        active: root.loading
        sourceComponent: ProgressView {
            objectName: "spinner"
            tint: Qt.rgba(1, 1, 1, 0.6)
        }
    }

    // Failures are silent: the placeholder stays.
    ArtworkPicture {
        id: picture
        anchors.fill: parent
        source: root.source
        radius: root.cornerRadius
        visible: root.loaded
    }
}
