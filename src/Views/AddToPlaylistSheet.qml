import QtQuick
import QtQuick.Controls
import Melodrift

// The add-to-playlist sheet, opened by the full player with its current station:
//     Sheet { presenter: ...; flag: ...; AddToPlaylistSheet { station: RadioPlayer.currentStation } }
// What plays now, then (signed in) a new-playlist row and the listener's playlists: a row adds the
// track to that playlist; the create button makes a playlist of the typed name and adds it there.
// After a success it shows the confirmation and closes itself a moment later; "بستن" closes it at
// once, and work already started still completes.
NavigationPage {
    id: page

    // The station whose current track is added, as the presenter gave it.
    property var station: null

    signal dismissRequested()

    readonly property alias model: sheet

    navigationTitle: "افزودن به پلیلیست"
    toolbarLeading: Component {
        PlainButton {
            objectName: "closeButton"
            text: "بستن"
            color: "white"
            Accessible.name: text
            onClicked: page.dismissRequested()
        }
    }

    AddToPlaylistSheetModel {
        id: sheet
        station: page.station
        onDismissRequested: page.dismissRequested()
    }

    // Each message (added, already there, a failure) is spoken as it shows.
    Announcer {
        objectName: "messageAnnouncer"
        text: sheet.message
    }

    // What plays now, the message and the new-playlist row scroll with the playlists; playlist rows
    // are built as they come into view.
    LazyListView {
        id: list
        objectName: "playlistList"
        anchors.fill: parent
        spacing: 16
        topMargin: 12
        bottomMargin: 24
        model: sheet.listState === AddToPlaylistSheetModel.Rows ? sheet.playlists : null

        readonly property real innerWidth: width - 32

        header: Column {
            id: column
            width: list.width
            spacing: 16
            leftPadding: 16
            rightPadding: 16

            // ---- what plays now
            Rectangle {
                objectName: "nowPlayingCard"
                width: list.innerWidth
                height: 56 + 24
                radius: 16
                color: Qt.rgba(1, 1, 1, 0.06)

                ArtworkImage {
                    id: artwork
                    width: 56
                    height: 56
                    anchors.left: parent.left
                    anchors.leftMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    urlString: sheet.artworkURL
                    cornerRadius: 10
                }
                Column {
                    anchors.left: artwork.right
                    anchors.leftMargin: 12
                    anchors.right: parent.right
                    anchors.rightMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 3
                    StaticText {
                        width: parent.width
                        text: sheet.trackTitle
                        font: Theme.withWeight(Theme.subheadline, Font.DemiBold)
                        color: "white"
                        maximumLineCount: 2
                        wrapMode: Text.Wrap
                        elide: Text.ElideRight
                        horizontalAlignment: Text.AlignLeft
                    }
                    StaticText {
                        width: parent.width
                        text: sheet.artistLine
                        font: Theme.caption
                        color: Qt.rgba(1, 1, 1, 0.55)
                        maximumLineCount: 1
                        elide: Text.ElideRight
                        horizontalAlignment: Text.AlignLeft
                    }
                }
            }

            StaticText {
                objectName: "messageLine"
                visible: sheet.message !== ""
                width: list.innerWidth
                text: sheet.message
                font: Theme.footnote
                color: Qt.rgba(1, 1, 1, 0.7)
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
            }

            StaticText {
                objectName: "signedOutHint"
                visible: sheet.listState === AddToPlaylistSheetModel.SignedOut
                width: list.innerWidth
                text: "برای افزودن به پلیلیست وارد شوید."
                font: Theme.subheadline
                color: Qt.rgba(1, 1, 1, 0.6)
                horizontalAlignment: Text.AlignHCenter
            }

            // ---- a new playlist
            Item {
                objectName: "newPlaylistRow"
                visible: sheet.isAuthed
                width: list.innerWidth
                height: 46

                PlainTextField {
                    id: nameField
                    objectName: "newTitleField"
                    anchors.left: parent.left
                    anchors.right: createButton.left
                    anchors.rightMargin: 10
                    anchors.verticalCenter: parent.verticalCenter
                    placeholderText: "نام پلیلیست جدید…"
                    text: sheet.newTitle
                    onTextEdited: sheet.newTitle = text
                }
                ButtonBase {
                    id: createButton
                    objectName: "createButton"
                    focusRingRadius: 12
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    width: 46
                    height: 46
                    enabled: sheet.canCreate
                    hoverEnabled: true
                    opacity: !enabled && !sheet.isCreating ? 0.4 : (pressed ? 0.55 : 1.0)
                    Accessible.name: "ساخت پلیلیست و افزودن"
                    onClicked: sheet.createPlaylist()
                    background: Rectangle {
                        radius: 12
                        color: Theme.accent
                    }
                    contentItem: Item {
                        ProgressView {
                            anchors.centerIn: parent
                            visible: sheet.isCreating
                            tint: "white"
                        }
                        SymbolImage {
                            anchors.centerIn: parent
                            visible: !sheet.isCreating
                            symbol: "plus.circle.fill"
                            size: 20
                            color: "white"
                        }
                    }
                }
            }

            StaticText {
                objectName: "emptyHint"
                visible: sheet.listState === AddToPlaylistSheetModel.EmptyHint
                width: list.innerWidth
                text: "هنوز پلیلیستی نداری — یکی بساز!"
                font: Theme.footnote
                color: Qt.rgba(1, 1, 1, 0.5)
                horizontalAlignment: Text.AlignHCenter
            }
        }

        // ---- the playlists
        delegate: FocusScope {
            id: slot
            required property int index
            // (The role "id" cannot be a property's name.)
            required property var model
            width: list.width
            // The gap under the header goes with the first row, so the header keeps its height.
            readonly property real gap: index === 0 ? 16 : 0
            height: gap + row.height

            ButtonBase {
                id: row
                y: slot.gap
                readonly property var modelData: ({id: slot.model.id, title: slot.model.listedTitle,
                                                   coverURL: slot.model.coverURL,
                                                   trackCountText: slot.model.trackCountText})
                readonly property bool adding: sheet.addingId === modelData.id

                objectName: "playlistRow" + slot.index
                x: 16
                focusRingRadius: 14
                width: list.innerWidth
                padding: 10
                enabled: sheet.addingId < 0
                hoverEnabled: true
                opacity: !enabled && !adding ? 0.5 : (pressed ? 0.55 : 1.0)
                Accessible.name: modelData.title + "، " + modelData.trackCountText
                // Disabled while the add runs, the row lets the focus go to the sheet's title, and
                // takes it back once the add has ended, beside its message.
                onClicked: sheet.add(modelData.id)

                background: Rectangle {
                    radius: 14
                    color: Qt.rgba(1, 1, 1, 0.06)
                }
                contentItem: Item {
                    implicitHeight: 48
                    ArtworkImage {
                        id: cover
                        width: 48
                        height: 48
                        anchors.left: parent.left
                        anchors.verticalCenter: parent.verticalCenter
                        urlString: row.modelData.coverURL
                        cornerRadius: 10
                    }
                    Column {
                        anchors.left: cover.right
                        anchors.leftMargin: 12
                        anchors.right: trailing.left
                        anchors.rightMargin: 12
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 2
                        Text {
                            width: parent.width
                            text: row.modelData.title
                            textFormat: Text.PlainText
                            font: Theme.withWeight(Theme.footnote, Font.DemiBold)
                            color: "white"
                            maximumLineCount: 1
                            elide: Text.ElideRight
                            horizontalAlignment: Text.AlignLeft
                        }
                        Text {
                            textFormat: Text.PlainText
                            width: parent.width
                            text: row.modelData.trackCountText
                            font: Theme.caption2
                            color: Qt.rgba(1, 1, 1, 0.5)
                            horizontalAlignment: Text.AlignLeft
                        }
                    }
                    Item {
                        id: trailing
                        anchors.right: parent.right
                        anchors.verticalCenter: parent.verticalCenter
                        width: 20
                        height: 20
                        ProgressView {
                            anchors.fill: parent
                            visible: row.adding
                            tint: "white"
                        }
                        SymbolImage {
                            anchors.centerIn: parent
                            visible: !row.adding
                            symbol: "plus"
                            size: 15
                            color: Qt.rgba(1, 1, 1, 0.6)
                        }
                    }
                }
            }
        }
    }
}
