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

    contentItem: Item {
        implicitHeight: 48

        ArtworkImage {
            id: artwork
            width: 48
            height: 48
            anchors.left: parent.left
            anchors.verticalCenter: parent.verticalCenter
            urlString: control.row.artworkURL
            cornerRadius: 10
        }

        Column {
            anchors.left: artwork.right
            anchors.leftMargin: 12
            anchors.right: mark.left
            anchors.rightMargin: 12
            anchors.verticalCenter: parent.verticalCenter
            spacing: 2

            Text {
                textFormat: Text.PlainText
                width: parent.width
                text: control.row.title
                font: Theme.withWeight(Theme.footnote, Font.DemiBold)
                color: "white"
                elide: Text.ElideRight
                horizontalAlignment: Text.AlignLeft
                Accessible.ignored: true
            }
            Text {
                textFormat: Text.PlainText
                width: parent.width
                text: control.row.artist
                font: Theme.caption
                color: Qt.rgba(1, 1, 1, 0.5)
                elide: Text.ElideRight
                horizontalAlignment: Text.AlignLeft
                Accessible.ignored: true
            }
        }

        Loader {
            id: mark
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            sourceComponent: control.trailing
        }
    }
}
