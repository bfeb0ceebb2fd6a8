import QtQuick
import QtQuick.Controls
import Melodrift

// A playlist of the library grid: its square cover, its title (up to two lines) and track count.
// A press opens it; a right click, a long press, the menu key or Shift+F10 offers "حذف پلیلیست",
// and Delete asks for it at once.
//     PlaylistCard { playlist: { title, coverURL, trackCountText }; onOpenRequested: ...; onDeleteRequested: ... }
ScaleButtonStyle {
    id: card

    property var playlist
    // Where the card stands among the playlists ("3 از 3000"), for assistive technology.
    property string positionText

    focusRingRadius: 14

    signal openRequested()
    signal deleteRequested()

    Accessible.name: (playlist ? playlist.title : "") + "، " + (playlist ? playlist.trackCountText : "")
    Accessible.description: positionText
    Keys.onDeletePressed: card.deleteRequested()
    onClicked: openRequested()

    contentItem: Rectangle {
        implicitHeight: cover.height + labels.implicitHeight
        radius: 14
        color: Qt.rgba(1, 1, 1, 0.05)

        ArtworkImage {
            id: cover
            width: parent.width
            height: width
            urlString: card.playlist ? card.playlist.coverURL : undefined
            cornerRadius: 14
        }
        Column {
            id: labels
            anchors.top: cover.bottom
            width: parent.width
            padding: 10
            spacing: 3
            Text {
                width: parent.width - 20
                text: card.playlist ? card.playlist.title : ""
                textFormat: Text.PlainText
                font: Theme.withWeight(Theme.footnote, Font.DemiBold)
                color: "white"
                maximumLineCount: 2
                wrapMode: Text.Wrap
                elide: Text.ElideRight
                horizontalAlignment: Text.AlignLeft
            }
            Text {
                textFormat: Text.PlainText
                width: parent.width - 20
                text: card.playlist ? card.playlist.trackCountText : ""
                font: Theme.caption2
                color: Qt.rgba(1, 1, 1, 0.5)
                horizontalAlignment: Text.AlignLeft
            }
        }
    }

    ContextMenu {
        id: menu
        entries: () => [
            { text: "حذف پلیلیست", symbol: "trash", destructive: true, action: () => card.deleteRequested() }
        ]
    }
}
