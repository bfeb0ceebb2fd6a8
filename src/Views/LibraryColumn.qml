import QtQuick
import QtQuick.Controls
import Melodrift

// The scrolling content of the library tab: the offline downloads card; the liked tracks and the
// playlists grid when signed in, else the sign-in prompt; the Spotify import and SoundCloud search
// cards with the SoundCloud results; the advertisement banner. The grid's rows and the results are
// rows of the list, built as they come into view; the cards' state lives here, so the cards built
// again show it as it was.
//     LibraryColumn { library: model; onOpenOffline: ...; onOpenPlaylist: summary => ... }
LazyListView {
    id: column

    required property LibraryViewModel library

    signal openOffline()
    signal openPlaylist(var summary)

    readonly property real innerWidth: width - 32
    readonly property bool gridShown: library.isAuthed && library.playlistsState === LibraryViewModel.Grid
    readonly property int columns: library.columnsFor(innerWidth)
    readonly property real cardWidth: (innerWidth - (columns - 1) * 12) / columns
    // One row of the grid holds `columns` cards.
    readonly property int gridRows: gridShown ? Math.ceil(library.playlistCount / columns) : 0
    readonly property GridRows grid: GridRows {
        source: column.gridShown ? column.library.playlists : null
        columns: column.columns
    }

    readonly property SpotifyImportCardModel spotify: SpotifyImportCardModel {}
    readonly property SoundCloudCardModel soundCloud: SoundCloudCardModel {}

    topMargin: 8
    bottomMargin: library.bottomPadding
    // (Each row keeps its own room above it: the gaps differ and the SoundCloud card runs on
    // through its results.)
    spacing: 0
    // The grid's rows, the row of the two cards, then the SoundCloud results.
    model: JoinedRows {
        sources: [column.grid, column.cardsRow, column.soundCloud.results]
    }
    readonly property ListModel cardsRow: ListModel { ListElement { cards: true } }

    header: Column {
        width: column.width
        spacing: 22
        leftPadding: 16
        rightPadding: 16

        // ---- offline downloads
        ButtonBase {
            id: offlineCard
            objectName: "offlineCard"
            focusRingRadius: 18
            width: column.innerWidth
            padding: 14
            hoverEnabled: true
            opacity: pressed ? 0.55 : 1.0
            Accessible.name: "دانلودهای آفلاین، " + column.library.offlineSubtitle
            onClicked: column.openOffline()

            background: Rectangle {
                radius: 18
                color: Qt.rgba(1, 1, 1, 0.06)
                border.width: 0.8
                border.color: Qt.rgba(1, 1, 1, 0.08)
            }
            contentItem: Item {
                implicitHeight: 52
                Rectangle {
                    id: offlineIcon
                    width: 52
                    height: 52
                    radius: 14
                    anchors.left: parent.left
                    gradient: Gradient {
                        orientation: Gradient.Horizontal
                        GradientStop { position: 0; color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.85) }
                        GradientStop { position: 1; color: Qt.rgba(0.63, 0.38, 0.96, 0.85) }
                    }
                    SymbolImage {
                        anchors.centerIn: parent
                        symbol: "arrow.down.circle.fill"
                        size: 24
                        color: "white"
                    }
                }
                Column {
                    anchors.left: offlineIcon.right
                    anchors.leftMargin: 14
                    anchors.right: chevron.left
                    anchors.rightMargin: 14
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 3
                    Text {
                        textFormat: Text.PlainText
                        width: parent.width
                        text: "دانلودهای آفلاین"
                        font: Theme.withWeight(Theme.headline, Font.Bold)
                        color: "white"
                        horizontalAlignment: Text.AlignLeft
                    }
                    Text {
                        textFormat: Text.PlainText
                        objectName: "offlineSubtitle"
                        width: parent.width
                        text: column.library.offlineSubtitle
                        font: Theme.caption
                        color: Qt.rgba(1, 1, 1, 0.55)
                        elide: Text.ElideRight
                        horizontalAlignment: Text.AlignLeft
                    }
                }
                SymbolImage {
                    id: chevron
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    symbol: "chevron.left"
                    size: 14
                    color: Qt.rgba(1, 1, 1, 0.35)
                }
            }
        }

        // ---- signed out: the sign-in prompt
        Rectangle {
            objectName: "loginPrompt"
            visible: !column.library.isAuthed
            width: column.innerWidth
            height: prompt.implicitHeight + 80
            radius: 22
            color: Qt.rgba(1, 1, 1, 0.05)

            Column {
                id: prompt
                anchors.centerIn: parent
                width: parent.width - 32
                spacing: 14
                SymbolImage {
                    anchors.horizontalCenter: parent.horizontalCenter
                    symbol: "person.crop.circle.badge.plus"
                    size: 46
                    color: Theme.accent
                }
                StaticText {
                    width: parent.width
                    text: "وارد حساب شوید"
                    font: Theme.withWeight(Theme.title3, Font.Bold)
                    color: "white"
                    horizontalAlignment: Text.AlignHCenter
                }
                StaticText {
                    width: parent.width
                    text: "برای دسترسی به پلیلیستهای شخصی و آهنگهای پسندیده، وارد حساب کاربری شوید."
                    font: Theme.subheadline
                    color: Qt.rgba(1, 1, 1, 0.55)
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.Wrap
                }
                ButtonBase {
                    objectName: "loginButton"
                    focusRingRadius: height / 2
                    anchors.horizontalCenter: parent.horizontalCenter
                    leftPadding: 34
                    rightPadding: 34
                    topPadding: 13
                    bottomPadding: 13
                    hoverEnabled: true
                    opacity: pressed ? 0.55 : 1.0
                    text: "ورود / ثبتنام"
                    Accessible.name: text
                    onClicked: column.library.showLogin = true
                    contentItem: Text {
                        textFormat: Text.PlainText
                        text: parent.text
                        font: Theme.headline
                        color: "white"
                    }
                    background: Rectangle {
                        radius: height / 2
                        color: Theme.accent
                    }
                }
            }
        }

        // ---- signed in: the liked tracks
        ScaleButtonStyle {
            objectName: "favoritesCard"
            focusRingRadius: 22
            visible: column.library.isAuthed
            width: column.innerWidth
            Accessible.name: "آهنگهای پسندیده، " + column.library.favoritesCountText
            onClicked: column.library.playFavorites()

            contentItem: Rectangle {
                implicitHeight: 64 + 28
                radius: 22
                color: Qt.rgba(1, 1, 1, 0.05)
                Rectangle {
                    id: heart
                    x: 14
                    width: 64
                    height: 64
                    radius: 16
                    anchors.left: parent.left
                    anchors.leftMargin: 14
                    anchors.verticalCenter: parent.verticalCenter
                    gradient: Gradient {
                        orientation: Gradient.Horizontal
                        GradientStop { position: 0; color: Qt.rgba(Theme.pink.r, Theme.pink.g, Theme.pink.b, 0.75) }
                        GradientStop { position: 1; color: Qt.rgba(Theme.purple.r, Theme.purple.g, Theme.purple.b, 0.55) }
                    }
                    SymbolImage {
                        anchors.centerIn: parent
                        symbol: "heart.fill"
                        size: 26
                        color: "white"
                    }
                }
                Column {
                    anchors.left: heart.right
                    anchors.leftMargin: 14
                    anchors.right: playSymbol.left
                    anchors.rightMargin: 14
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 4
                    Text {
                        textFormat: Text.PlainText
                        width: parent.width
                        text: "آهنگهای پسندیده"
                        font: Theme.headline
                        color: "white"
                        horizontalAlignment: Text.AlignLeft
                    }
                    Text {
                        textFormat: Text.PlainText
                        objectName: "favoritesCount"
                        width: parent.width
                        text: column.library.favoritesCountText
                        font: Theme.subheadline
                        color: Qt.rgba(1, 1, 1, 0.55)
                        horizontalAlignment: Text.AlignLeft
                    }
                }
                SymbolImage {
                    id: playSymbol
                    anchors.right: parent.right
                    anchors.rightMargin: 14
                    anchors.verticalCenter: parent.verticalCenter
                    symbol: "play.fill"
                    size: 18
                    color: Qt.rgba(1, 1, 1, 0.7)
                }
            }
        }

        // ---- signed in: the playlists' heading, the spinner or the hint; the grid follows.
        Column {
            objectName: "playlistsSection"
            visible: column.library.isAuthed
            width: column.innerWidth
            spacing: 12

            Text {
                textFormat: Text.PlainText
                width: parent.width
                text: "پلیلیستهای من"
                font: Theme.headline
                color: Qt.rgba(1, 1, 1, 0.85)
                horizontalAlignment: Text.AlignLeft
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            Item {
                objectName: "playlistsSpinner"
                visible: column.library.playlistsState === LibraryViewModel.Spinner
                width: parent.width
                height: 60
                ProgressView {
                    anchors.centerIn: parent
                    tint: "white"
                }
            }
            StaticText {
                objectName: "playlistsHint"
                visible: column.library.playlistsState === LibraryViewModel.Hint
                width: parent.width
                topPadding: 14
                bottomPadding: 14
                text: "هنوز پلیلیستی نداری. از بخش اسپاتیفای پایین صفحه، پلیلیست ایمپورت کن!"
                font: Theme.footnote
                color: Qt.rgba(1, 1, 1, 0.5)
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignLeft
            }
            // The first load failed: why, and another try (as a playlist's page does).
            Column {
                objectName: "playlistsFailure"
                visible: column.library.playlistsState === LibraryViewModel.Failure
                width: parent.width
                topPadding: 8
                bottomPadding: 8
                spacing: 12
                StaticText {
                    objectName: "playlistsError"
                    width: parent.width
                    text: column.library.playlistsError
                    // The retry button's description says it, once, with the button.
                    Accessible.ignored: true
                    font: Theme.footnote
                    color: Qt.rgba(1, 1, 1, 0.6)
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.Wrap
                }
                ProminentButton {
                    objectName: "playlistsRetryButton"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "تلاش دوباره"
                    Accessible.name: text
                    Accessible.description: column.library.playlistsError
                    onClicked: column.library.refresh()
                }
            }
        }
    }

    delegate: FocusScope {
        id: slot
        required property int index
        required property int part
        // The roles of the row's own part (a grid row's first card, a result's title and artist...).
        required property var model
        objectName: ["playlistsRow" + index, "cardsRow0", "resultSlot" + (index - column.firstResultRow)][part]
        width: column.width
        height: shown.height

        Loader {
            id: shown
            sourceComponent: [gridRow, cards, result][slot.part]
        }

        // ---- signed in: the playlists grid, a row of cards at a time, from the right as every row
        Component {
            id: gridRow
            Row {
                x: 16
                width: column.innerWidth
                // (The first row's gap under the header is its own: the header keeps its height when
                // the grid comes.)
                topPadding: 12
                spacing: 12

                Repeater {
                    model: GridRowCells { grid: column.grid; row: slot.index }
                    PlaylistCard {
                        required property int index
                        required property var model
                        readonly property int position: slot.index * column.columns + index
                        // The list keeps the focus on the playlist when it moves to another row.
                        readonly property string itemKey: model.key
                        objectName: "playlistCard" + position
                        width: column.cardWidth
                        playlist: model
                        positionText: (position + 1) + " از " + column.library.playlistCount
                        onOpenRequested: column.openPlaylist(model.summary)
                        onDeleteRequested: column.library.chooseToDelete(position)
                    }
                }
            }
        }

        // ---- the Spotify import and the SoundCloud search
        Component {
            id: cards
            Column {
                topPadding: 22
                spacing: 22
                leftPadding: 16
                rightPadding: 16

                SpotifyImportCard {
                    objectName: "spotifyCard"
                    width: column.innerWidth
                    model: column.spotify
                }

                SoundCloudCard {
                    width: column.innerWidth
                    model: column.soundCloud
                }
            }
        }

        // ---- a SoundCloud result, on the card above
        Component {
            id: result
            SoundCloudCardRow {
                width: column.width
                model: column.soundCloud
                row: slot.model
                position: slot.index - column.firstResultRow
                isLast: slot.index === column.count - 1
            }
        }
    }

    // The list's row of the first SoundCloud result (the rows of the grid and the cards come first).
    readonly property int firstResultRow: gridRows + 1

    footer: Column {
        width: column.width
        topPadding: 22
        leftPadding: 16
        rightPadding: 16

        AdBannerView {
            objectName: "adBanner"
            width: column.innerWidth
            height: 120
        }
    }
}
