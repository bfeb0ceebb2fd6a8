import QtQuick
import QtQuick.Controls
import Melodrift

// Screenshot scene for the station screens, against the stand-in's demo catalogue: a grid of
// station cards on a navigation stack, the detail page of a station pushed on it, and the mini
// player bar at the bottom while the player has a station (as the main window shows them).
//   detailGenre       push the detail page of this catalogue station
//   playGenre         hand this catalogue station to the player
//   pauseAfterStart   pause once it plays
//   barOnly           only the mini player bar, at the bottom of a small window
Item {
    id: scene

    property string detailGenre
    property string playGenre
    property bool pauseAfterStart: false
    property bool barOnly: false

    property bool started: false

    function stationOf(genre) {
        const stations = StationStore.stations
        for (let i = 0; i < stations.length; ++i) {
            if (stations[i].genre === genre)
                return stations[i]
        }
        return undefined
    }

    function start() {
        if (started || StationStore.stations.length === 0)
            return
        started = true
        if (playGenre !== "") {
            const station = stationOf(playGenre)
            if (station !== undefined)
                RadioPlayer.select(station)
        }
        if (detailGenre !== "") {
            const station = stationOf(detailGenre)
            if (station !== undefined)
                stack.push(detailPage, { station: station })
        }
    }

    Component.onCompleted: {
        StationStore.requestLoad(false)
        start()
    }
    Connections {
        target: StationStore
        function onStationsChanged() { scene.start() }
    }
    Connections {
        target: RadioPlayer
        function onIsPlayingChanged() {
            if (scene.pauseAfterStart && RadioPlayer.isPlaying)
                RadioPlayer.togglePlayPause()
        }
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }
    HarmonicTint {
        anchors.fill: parent
        visible: !scene.barOnly && RadioPlayer.currentStation !== undefined
        tint: RadioPlayer.themeColor
    }

    NavigationStack {
        id: stack
        anchors.fill: parent
        visible: !scene.barOnly
        initialItem: gridPage
    }

    Component {
        id: gridPage

        NavigationPage {
            navigationBarHidden: true
            backgroundColor: "transparent"

            // Columns of at least 155 with 14 between them and 16 at the sides, like the home grid.
            GridView {
                id: grid
                anchors.fill: parent
                anchors.leftMargin: 16
                anchors.rightMargin: 2
                topMargin: 8
                bottomMargin: RadioPlayer.currentStation !== undefined ? 110 : 24
                readonly property int columns: Math.max(1, Math.floor(width / (155 + 14)))
                cellWidth: width / columns
                cellHeight: (cellWidth - 14) + 56 + 14
                model: StationStore.stations

                delegate: Item {
                    id: cell
                    required property var modelData
                    width: grid.cellWidth
                    height: grid.cellHeight

                    StationCardView {
                        anchors.left: parent.left
                        width: cell.width - 14
                        station: cell.modelData
                    }
                }
            }
        }
    }

    Component {
        id: detailPage
        StationDetailView {}
    }

    MiniPlayerBar {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        visible: RadioPlayer.currentStation !== undefined
    }
}
