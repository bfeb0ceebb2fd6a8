import QtQuick
import Melodrift

// Screenshot scene for the story sheet, against the stand-in's demo catalogue: the sheet of one
// catalogue station, as the full player presents it.
//   genre        the station ("ambient" has no lyrics)
//   renderNow    start a render once the lyrics are there
Item {
    id: scene

    property string genre: "persian"
    property bool renderNow: false
    property var station: undefined

    function start() {
        const stations = StationStore.stations
        for (let i = 0; i < stations.length && scene.station === undefined; ++i) {
            if (stations[i].genre === scene.genre)
                scene.station = stations[i]
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

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    Loader {
        anchors.fill: parent
        active: scene.station !== undefined
        sourceComponent: StoryView {
            id: sheet
            station: scene.station
            Connections {
                target: sheet.storyModel
                function onContentChanged() {
                    if (scene.renderNow && sheet.storyModel.content === StoryViewModel.Picker)
                        sheet.storyModel.generate()
                }
            }
        }
    }
}
