import QtQuick
import Melodrift

// Screenshot scene of the main window against the stand-in's demo catalogue.
//   category          the chip to select once the catalogue is in (0 all ... 3 instrumental)
//   playGenre         hand this catalogue station to the player
//   showFullPlayer    present the full player over it
//   openRecognition   ask for the recognition sheet, as the melodrift://shazam address does
//   currentTab        0 radio, 1 library
AppWindow {
    id: scene

    property int category: 0
    property string playGenre
    property bool showFullPlayer: false
    property bool openRecognition: false

    property bool applied: false

    function apply() {
        if (applied || StationStore.stations.length === 0)
            return
        applied = true
        StationStore.selectedCategory = category
        const stations = StationStore.stations
        for (let i = 0; i < stations.length; ++i) {
            if (stations[i].genre === playGenre)
                RadioPlayer.select(stations[i])
        }
        if (showFullPlayer)
            RadioPlayer.isFullPlayerPresented = true
        if (openRecognition)
            ShazamManager.requestOpen(false)
    }

    Connections {
        target: StationStore
        function onStationsChanged() { scene.apply() }
    }
    Component.onCompleted: apply()
}
