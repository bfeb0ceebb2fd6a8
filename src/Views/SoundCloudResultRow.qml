import QtQuick
import Melodrift

// One SoundCloud result (a map of soundcloud::rows()): artwork, title, artist, and a trailing mark
// given by the caller. A tap plays the result.
//     SoundCloudResultRow { row: modelData; radius: 14; trailing: Component { ... }; onClicked: ... }
ButtonBase {
    id: control

    required property var row
    property real radius: 14
    // What sits at the row's trailing end.
    property Component trailing
    // Added to the spoken description (e.g. that the row plays now).
    property string stateText

    padding: 10
    focusRingRadius: radius + 3
    Accessible.name: row.title
    Accessible.description: [row.artist, stateText].filter(part => part !== "").join("، ")
    opacity: pressed ? 0.55 : 1.0

    background: Rectangle {
        radius: control.radius
        color: Qt.rgba(1, 1, 1, 0.04)
    }

    contentItem: TrackLine {
        pictureSize: 48
        title: control.row.title
        artist: control.row.artist
        textsSpokenByRow: true
        picture: ArtworkImage {
            urlString: control.row.artworkURL
            cornerRadius: 10
        }
        trailing: Loader {
            sourceComponent: control.trailing
        }
    }
}
