import QtQuick
import Melodrift

// Screenshot scene of the library's pages, signed in to the stand-in's demo account
// (melodrift-screenshot --sign-in demo:demo1234):
//   playlistId     push the page of this playlist of the library (0: none)
//   downloadRows   rows of that playlist to download once it is shown
//   dialog         then open "edit", "delete", "editTrack" or "deleteTrack" on it
//   busy           then save the playlist unchanged (script the PUT slow to see the overlay)
//   offline        then push the offline library
Item {
    id: scene

    property int playlistId: 0
    property var downloadRows: []
    property string dialog: ""
    property bool busy: false
    property bool offline: false

    property bool applied: false

    function summaryOf(id) {
        const playlists = AuthStore.playlists
        for (let i = 0; i < playlists.length; ++i) {
            if (playlists[i].id === id)
                return playlists[i]
        }
        return { id: id }
    }

    function apply(page) {
        if (applied)
            return
        applied = true
        const model = page.model
        for (let i = 0; i < downloadRows.length; ++i)
            model.toggleDownload(downloadRows[i])
        if (dialog === "edit")
            model.prepareEdit()
        else if (dialog === "delete")
            model.showDeleteConfirm = true
        else if (dialog === "editTrack")
            model.prepareTrackEdit(1)
        else if (dialog === "deleteTrack")
            model.chooseTrackToDelete(1)
        if (busy) {
            model.prepareEdit()
            model.showEditSheet = false
            model.saveEdit()
        }
        if (offline)
            pushOffline.start()
    }

    Timer {
        id: pushOffline
        interval: 500
        onTriggered: stack.push(Qt.resolvedUrl("qrc:/Melodrift/OfflineLibraryView.qml"))
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    NavigationStack {
        id: stack
        anchors.fill: parent
        initialItem: NavigationPage { navigationTitle: "کتابخانه من" }
    }

    Connections {
        id: pageWatch
        target: null
        function onContentChanged() {
            if (pageWatch.target.content !== PlaylistDetailViewModel.Loading)
                scene.apply(stack.currentItem)
        }
    }

    Component.onCompleted: {
        if (playlistId > 0) {
            stack.push(Qt.resolvedUrl("qrc:/Melodrift/PlaylistDetailView.qml"), { summary: summaryOf(playlistId) })
            pageWatch.target = stack.currentItem.model
        } else if (offline) {
            pushOffline.start()
        }
    }
}
