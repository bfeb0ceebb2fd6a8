import QtQuick
import QtQuick.Controls
import Melodrift

// A track of a station's list: number, artwork, title, artist and the time, or the bars while it
// plays. A press plays it; its context menu offers to download it for offline listening or remove
// the download.
//     StationTrackRow { modelData: row; index: i; isCurrent: ...; offlineMenu: () => [...]
//                       onClicked: ...; onOfflineActionChosen: action => ... }
ButtonBase {
    id: row

    // {number, title, artist, artworkURL, durationText}
    property var modelData: ({ number: "", title: "", artist: "", artworkURL: undefined, durationText: "" })
    property int index: -1
    // Where the row stands in its list ("3 از 3000"), for assistive technology.
    property string positionText
    property bool isCurrent: false
    // [{text, action}] of the offline menu, asked for when it opens.
    property var offlineMenu: () => []

    signal offlineActionChosen(string action)

    function offlineSymbol(action) {
        if (action === "remove")
            return "trash"
        return "arrow.down.circle"
    }

    padding: 10
    focusRingRadius: 17
    // Number and title; the artist and the time (or that it plays) follow.
    Accessible.name: row.modelData.number + ". " + row.modelData.title
    Accessible.description: [row.modelData.artist,
                             row.isCurrent ? "در حال پخش" : row.modelData.durationText, row.positionText]
                            .filter(part => part !== "").join("، ")
    opacity: pressed ? 0.55 : 1.0

    background: Rectangle {
        radius: 14
        color: Qt.rgba(1, 1, 1, 0.04)
    }

    contentItem: TrackLine {
        number: row.modelData.number
        title: row.modelData.title
        artist: row.modelData.artist
        titleColor: row.isCurrent ? Theme.accent : "white"
        picture: ArtworkImage {
            urlString: row.modelData.artworkURL
            cornerRadius: 8
        }
        trailing: Item {
            width: row.isCurrent ? 18 : duration.implicitWidth
            height: 14

            EqualizerBars {
                anchors.fill: parent
                visible: row.isCurrent
                tint: Theme.accent
            }
            Text {
                id: duration
                textFormat: Text.PlainText
                anchors.centerIn: parent
                visible: !row.isCurrent && text !== ""
                text: row.modelData.durationText
                font: Theme.caption2
                color: Qt.rgba(1, 1, 1, 0.4)
            }
        }
    }

    ContextMenu {
        entries: function() {
            return row.offlineMenu().map(item => ({
                text: item.text,
                symbol: row.offlineSymbol(item.action),
                action: () => row.offlineActionChosen(item.action)
            }))
        }
    }
}
