import QtQuick
import Melodrift

// Screenshot scene of the recognition sheet over the main window, against the stand-in (its
// recognition route answers a library track) and a test tone as the microphone.
//   listen   ask for the sheet as a shortcut does: it starts listening by itself
AppWindow {
    id: scene

    property bool listen: false
    property bool requested: false

    function request() {
        if (requested || StationStore.stations.length === 0)
            return
        requested = true
        ShazamManager.requestOpen(listen)
    }

    Connections {
        target: StationStore
        function onStationsChanged() { scene.request() }
    }
    Component.onCompleted: request()
}
