import QtQuick
import QtQuick.Controls
import QtQuick.Shapes
import Melodrift

// One of the listener's playlists, pushed on the library tab's navigation stack:
//     navigationStack.push(Qt.resolvedUrl("qrc:/Melodrift/PlaylistDetailView.qml"), { summary: p })
// with `p` a playlist of the library store. It shows the cover, name, description and count,
// "پخش همه" and the track rows (play, download control, menu), fetched each time the page is
// built; the toolbar menu and each row's menu (also a right click, a long press, or the menu key /
// Shift+F10 / Delete on a focused row) lead to the edits.
NavigationPage {
    id: page

    // The playlist as the library lists it.
    required property var summary
    readonly property alias model: playlist

    navigationTitle: playlist.navigationTitle

    PlaylistDetailViewModel {
        id: playlist
        summary: page.summary
        onDismissRequested: {
            if (page.navigationStack)
                page.navigationStack.pop()
        }
    }

    Component.onCompleted: playlist.load()

    toolbarTrailing: Component {
        PlainButton {
            id: menuButton
            objectName: "playlistMenuButton"
            symbol: "ellipsis.circle"
            symbolSize: 20
            color: Qt.rgba(1, 1, 1, 0.8)
            Accessible.name: "گزینه‌های پلیلیست"
            onClicked: playlistMenu.openAt(0, height)

            ContextMenu {
                id: playlistMenu
                entries: () => [
                    { text: "ویرایش پلیلیست", symbol: "pencil", action: () => playlist.prepareEdit() },
                    { text: "حذف پلیلیست", symbol: "trash", destructive: true,
                      action: () => { playlist.showDeleteConfirm = true } }
                ]
            }
        }
    }

    // ---- loading
    ProgressView {
        objectName: "loadingView"
        anchors.centerIn: parent
        visible: playlist.content === PlaylistDetailViewModel.Loading
        tint: "white"
    }

    // ---- failed
    Column {
        objectName: "errorView"
        anchors.centerIn: parent
        width: Math.min(parent.width - 32, 360)
        visible: playlist.content === PlaylistDetailViewModel.Failed
        spacing: 12

        StaticText {
            objectName: "errorText"
            width: parent.width
            text: playlist.error
            // The retry button's description says it, once, with the button.
            Accessible.ignored: true
            font: Theme.body
            color: Qt.rgba(1, 1, 1, 0.6)
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
        }
        ProminentButton {
            id: retryButton
            objectName: "retryButton"
            // A failure (a load, or an edit the server refused) replaces what had the focus.
            claimsFocus: true
            anchors.horizontalCenter: parent.horizontalCenter
            text: "تلاش دوباره"
            Accessible.name: text
            // What failed, spoken with the button where the focus lands.
            Accessible.description: playlist.error
            onClicked: playlist.load()
        }
    }

    // ---- loaded: the header and "پخش همه" scroll with the rows; rows are built as they come into view.
    LazyListView {
        id: list
        objectName: "listView"
        anchors.fill: parent
        visible: playlist.content === PlaylistDetailViewModel.Loaded
        spacing: 8
        topMargin: 12
        bottomMargin: playlist.bottomPadding
        model: playlist.rows

        readonly property real innerWidth: width - 32

        header: Column {
            width: list.width
            spacing: 18
            leftPadding: 16
            rightPadding: 16
            bottomPadding: 18

            PageHeader {
                width: list.innerWidth
                title: playlist.headerTitle
                description: playlist.descriptionText
                countText: playlist.trackCountText
                canPlayAll: playlist.canPlayAll
                picture: ArtworkImage {
                    urlString: playlist.coverURL
                    cornerRadius: 14
                }
                onPlayAll: playlist.playAll()
            }
        }

        // The tracks.
        delegate: FocusScope {
            id: slot
            required property int index
            required property string title
            required property string artist
            required property var artworkURL
            required property string durationText
            required property int downloadControl
            required property real progress
            required property string percentText
            required property string downloadError
            width: list.width
            height: trackRow.height

            PlaylistTrackRow {
                id: trackRow
                objectName: "trackRow" + slot.index
                x: 16
                width: list.innerWidth
                track: ({number: String(slot.index + 1), title: slot.title, artist: slot.artist,
                         artworkURL: slot.artworkURL, durationText: slot.durationText})
                downloadState: ({control: slot.downloadControl, progress: slot.progress,
                                 percentText: slot.percentText, error: slot.downloadError})
                positionText: (slot.index + 1) + " از " + list.count
                onPlayRequested: playlist.play(slot.index)
                onDownloadRequested: playlist.toggleDownload(slot.index)
                onEditRequested: playlist.prepareTrackEdit(slot.index)
                onDeleteRequested: playlist.chooseTrackToDelete(slot.index)
            }
        }
    }

    // ---- busy: over everything, bar included; nothing under it takes a press.
    Rectangle {
        objectName: "busyOverlay"
        parent: page
        anchors.fill: parent
        z: 10
        visible: playlist.busy
        color: Qt.rgba(0, 0, 0, 0.35)

        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            hoverEnabled: true
        }
        ProgressView {
            anchors.centerIn: parent
            tint: "white"
        }
    }

    // ---- the edits
    AlertDialog {
        objectName: "editDialog"
        presenter: playlist
        flag: "showEditSheet"
        title: "ویرایش پلیلیست"
        message: "نام و توضیحات پلیلیست را ویرایش کنید."
        acceptText: "ذخیره"
        onAccepted: playlist.saveEdit()

        PlainTextField {
            objectName: "editTitleField"
            width: parent.width
            placeholderText: "نام پلیلیست"
            text: playlist.editTitle
            onTextEdited: playlist.editTitle = text
        }
        PlainTextField {
            objectName: "editDescField"
            width: parent.width
            placeholderText: "توضیحات"
            text: playlist.editDesc
            onTextEdited: playlist.editDesc = text
        }
    }

    ConfirmationDialog {
        objectName: "deletePlaylistDialog"
        presenter: playlist
        flag: "showDeleteConfirm"
        title: "حذف پلیلیست؟"
        message: "این عمل قابل بازگشت نیست."
        destructiveText: "حذف"
        onConfirmed: playlist.deletePlaylist()
    }

    AlertDialog {
        objectName: "editTrackDialog"
        presenter: playlist
        flag: "showEditTrackSheet"
        title: "ویرایش آهنگ"
        acceptText: "ذخیره"
        onAccepted: playlist.saveTrackEdit()

        PlainTextField {
            objectName: "editTrackTitleField"
            width: parent.width
            placeholderText: "عنوان"
            text: playlist.editTrackTitle
            onTextEdited: playlist.editTrackTitle = text
        }
        PlainTextField {
            objectName: "editTrackArtistField"
            width: parent.width
            placeholderText: "هنرمند"
            text: playlist.editTrackArtist
            onTextEdited: playlist.editTrackArtist = text
        }
    }

    ConfirmationDialog {
        objectName: "deleteTrackDialog"
        presenter: playlist
        flag: "showDeleteTrackConfirm"
        title: "حذف آهنگ؟"
        message: playlist.trackToDeleteTitle
        destructiveText: "حذف"
        onConfirmed: playlist.confirmDeleteTrack()
    }
}
