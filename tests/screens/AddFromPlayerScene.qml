import QtQuick
import Melodrift

// A live scene for trying the add-to-playlist sheet by hand (or over AT-SPI) against the stand-in:
// the main window on the library tab, playing the catalogue's first station, with a button that
// opens the sheet for what plays, as the full player's add button does.
//     melodrift-screenshot --qml tests/screens/AddFromPlayerScene.qml --sign-in demo:demo1234 --wait 600000 --out x.png
AppWindow {
    id: host

    property bool showAdd: false
    property bool started: false

    currentTab: 1

    function start() {
        if (started || StationStore.stations.length === 0)
            return
        started = true
        RadioPlayer.select(StationStore.stations[0])
    }
    Connections {
        target: StationStore
        function onStationsChanged() { host.start() }
    }

    PlainButton {
        objectName: "openAddSheet"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 150
        z: 5
        visible: RadioPlayer.currentStation !== undefined
        text: "افزودن آهنگ در حال پخش به پلیلیست"
        symbol: "plus.circle.fill"
        color: Theme.accent
        Accessible.name: text
        onClicked: host.showAdd = true
    }

    Sheet {
        presenter: host
        flag: "showAdd"
        AddToPlaylistSheet {
            station: RadioPlayer.currentStation
        }
    }
}
