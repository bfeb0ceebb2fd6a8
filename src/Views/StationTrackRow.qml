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
                             row.isCurrent ? "در حال پخش" : row.modelData.durationText]
                            .filter(part => part !== "").join("، ")
    opacity: pressed ? 0.55 : 1.0

    background: Rectangle {
        radius: 14
        color: Qt.rgba(1, 1, 1, 0.04)
    }

    contentItem: Item {
        implicitHeight: 44

        Text {
            id: number
            textFormat: Text.PlainText
            width: 22
            anchors.left: parent.left
            anchors.verticalCenter: parent.verticalCenter
            text: row.modelData.number
            font: Theme.withWeight(Theme.caption2, Font.Bold)
            color: Qt.rgba(1, 1, 1, 0.35)
            horizontalAlignment: Text.AlignHCenter
        }

        ArtworkImage {
            id: rowArtwork
            width: 44
            height: 44
            anchors.left: number.right
            anchors.leftMargin: 12
            anchors.verticalCenter: parent.verticalCenter
            urlString: row.modelData.artworkURL
            cornerRadius: 8
        }

        Column {
            anchors.left: rowArtwork.right
            anchors.leftMargin: 12
            anchors.right: trailing.left
            anchors.rightMargin: 12
            anchors.verticalCenter: parent.verticalCenter
            spacing: 2

            Text {
                textFormat: Text.PlainText
                width: parent.width
                text: row.modelData.title
                font: Theme.withWeight(Theme.footnote, Font.DemiBold)
                color: row.isCurrent ? Theme.accent : "white"
                maximumLineCount: 1
                elide: Text.ElideRight
                horizontalAlignment: Text.AlignLeft
            }
            Text {
                textFormat: Text.PlainText
                width: parent.width
                text: row.modelData.artist
                font: Theme.caption
                color: Qt.rgba(1, 1, 1, 0.5)
                maximumLineCount: 1
                elide: Text.ElideRight
                horizontalAlignment: Text.AlignLeft
            }
        }

        Item {
            id: trailing
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
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
