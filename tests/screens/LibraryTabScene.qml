import QtQuick
import Melodrift

// Screenshot scene of the library tab (sign in with melodrift-screenshot --sign-in demo:demo1234):
//   deleteIndex    ask to delete the playlist card at this index once the playlists are in
//   playFavorites  play the liked tracks (the mini player bar slides in)
Item {
    id: scene

    property int deleteIndex: -1
    property bool playFavorites: false

    LibraryView {
        id: tab
        anchors.fill: parent
    }

    function apply() {
        if (deleteIndex >= 0 && tab.model.playlists.length > deleteIndex)
            tab.model.chooseToDelete(deleteIndex)
        if (playFavorites) {
            tab.model.playFavorites()
            RadioPlayer.isFullPlayerPresented = false
        }
    }
    Timer {
        interval: 400
        running: true
        onTriggered: scene.apply()
    }
}
