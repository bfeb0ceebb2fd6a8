import QtQuick
import Melodrift

// Screenshot scene of the add-to-playlist sheet for a live station's song (sign in with
// melodrift-screenshot --sign-in demo:demo1234; --no-playlists for an empty library):
//   addRow      tap this playlist row (script its POST slow to see the spinner)
//   createName  type this name and tap the create button
Item {
    id: scene

    property int addRow: -1
    property string createName

    Rectangle {
        anchors.fill: parent
        color: Qt.rgba(0, 0, 0, 0.45)
    }

    AddToPlaylistSheet {
        id: sheet
        anchors.fill: parent
        anchors.topMargin: 36
        station: ({ genre: "jazz", title: "Miles Quartet - Blue Evening", server_name: "جاز شبانه",
                    stream_url: "/live/jazz", artwork_url: "/artwork/jazz.jpg" })
    }

    Timer {
        interval: 400
        running: true
        onTriggered: {
            if (scene.addRow >= 0 && sheet.model.playlists.length > scene.addRow)
                sheet.model.add(sheet.model.playlists[scene.addRow].id)
            if (scene.createName !== "") {
                sheet.model.newTitle = scene.createName
                sheet.model.createPlaylist()
            }
        }
    }
}
