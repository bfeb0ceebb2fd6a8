import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Melodrift

// The full-screen player, shown by the window's one full-screen cover while
// RadioPlayer.isFullPlayerPresented holds, from either tab:
//     FullScreenCover { presenter: RadioPlayer; flag: "isFullPlayerPresented"; FullPlayerView {} }
// Top to bottom: the drag handle, the header, the turning record, the titles, the seek bar (or
// the live badge), the transport, the volume, the footer, the offline error and, in the regular
// layout, the advertisement banner; behind them a glow of the artwork's colour. A mainly
// downward drag of more than 120 points closes it, as do the close button and Escape. The five
// sheets it opens stand above it; each is built when it opens.
Item {
    id: root
    objectName: "fullPlayer"

    readonly property alias model: screen
    // What names the full-screen cover for assistive technology: the station, as the header shows it,
    // and what plays, read after it.
    readonly property string navigationTitle: screen.headerTitle
    readonly property string navigationSummary: [screen.trackTitle, screen.artistLine].filter(t => t !== "").join("، ")
    // One of the five sheets stands over the screen.
    readonly property bool sheetShown: screen.showLyrics || screen.showEQ || screen.showStory
                                       || screen.showLogin || screen.showAddToPlaylist
    // The line under the footer: why the playing track's download failed, else the offline
    // store's last error.
    readonly property string downloadFailure: footer.footerModel.downloadError !== ""
                                              ? footer.footerModel.downloadError : screen.offlineError

    signal dismissRequested()

    FullPlayerViewModel {
        id: screen
        contentSize: Qt.size(root.width, root.height)
    }

    Component.onCompleted: screen.appear()

    // The drag that closes the screen, with the mouse as with touch. Presses that a control takes
    // (a button, a slider) never reach it.
    DragHandler {
        id: drag
        target: null
        dragThreshold: 10
        property real lastX: 0
        property real lastY: 0
        onTranslationChanged: {
            if (!active)
                return
            lastX = translation.x
            lastY = translation.y
            screen.dragChanged(lastX, lastY)
        }
        onActiveChanged: {
            if (active) {
                lastX = 0
                lastY = 0
            } else if (screen.dragEnded(lastX, lastY)) {
                root.dismissRequested()
            }
        }
    }

    // Everything that the drag moves.
    Item {
        id: moving
        objectName: "fullPlayerContent"
        width: root.width
        height: root.height
        y: screen.dragOffset
        Behavior on y {
            // Follows the finger at once; springs back on a release that does not close.
            enabled: !drag.active
            NumberAnimation { duration: 320; easing.type: Easing.OutCubic }
        }

        // The glow: the artwork's colour and a heavily blurred copy of the artwork.
        Item {
            id: glow
            anchors.fill: parent

            property color tint: RadioPlayer.themeColor
            Behavior on tint {
                enabled: glowFade.running && glow.visible && WindowExposure.exposed
                ColorAnimation { duration: 800; easing.type: Easing.InOutQuad }
            }
            // A new artwork: the colour that comes with it fades in.
            readonly property url source: ServerAddress.absolute(screen.artworkURL)
            onSourceChanged: glowFade.restart()
            Timer { id: glowFade; interval: 800 }

            // The background with the colour at 0.35 over it, as one opaque fill: a software
            // renderer then draws no second full-window layer for it on every frame.
            Rectangle {
                anchors.fill: parent
                color: Qt.tint(Theme.background, Qt.rgba(glow.tint.r, glow.tint.g, glow.tint.b, 0.35))
            }
            BakedArtworkPicture {
                id: glowPicture
                anchors.centerIn: parent
                width: 500
                height: 500
                blurRadius: 90
                opacity: 0.22
                source: glow.source
            }
        }

        ColumnLayout {
            id: column
            anchors.fill: parent
            anchors.leftMargin: screen.sideMargin
            anchors.rightMargin: screen.sideMargin
            anchors.topMargin: 10
            anchors.bottomMargin: 8
            spacing: 0

            // The banner is drawn only whole: a regular window too short to hold it under the
            // rest (which keeps its sizes) leaves it out rather than cutting it at its edge.
            readonly property real heightAboveBanner: anchors.topMargin + anchors.bottomMargin
                + handle.Layout.topMargin + handle.implicitHeight
                + header.Layout.topMargin + header.implicitHeight
                + 2 * (screen.compact ? 4 : 8) + vinyl.implicitHeight
                + trackInfo.implicitHeight + transport.implicitHeight
                + footer.Layout.topMargin + footer.implicitHeight
                + (offlineError.visible ? offlineError.Layout.topMargin + offlineError.implicitHeight : 0)
            readonly property bool bannerFits: !screen.compact && heightAboveBanner + 14 + 140 <= parent.height

            Rectangle {
                id: handle
                objectName: "dragHandle"
                Layout.alignment: Qt.AlignHCenter
                Layout.topMargin: 8
                implicitWidth: 40
                implicitHeight: 5
                radius: 2.5
                color: Qt.rgba(1, 1, 1, 0.35)
            }

            FullPlayerHeader {
                id: header
                objectName: "header"
                Layout.fillWidth: true
                Layout.topMargin: 14
                Layout.minimumHeight: implicitHeight
                model: screen
                onCloseRequested: root.dismissRequested()
            }

            Item {
                Layout.fillHeight: true
                Layout.minimumHeight: screen.compact ? 4 : 8
            }

            VinylRecord {
                id: vinyl
                objectName: "vinyl"
                Layout.alignment: Qt.AlignHCenter
                Layout.minimumHeight: implicitHeight
                outer: screen.recordSide
                artworkURL: screen.artworkURL
                // A sheet covers the record: it waits, at its angle, until the sheet is gone.
                turning: screen.isRotating && !root.sheetShown
                baseRotation: screen.rotation
            }

            Item {
                Layout.fillHeight: true
                Layout.minimumHeight: screen.compact ? 4 : 8
            }

            ColumnLayout {
                id: trackInfo
                objectName: "trackInfo"
                Layout.fillWidth: true
                Layout.minimumHeight: implicitHeight
                spacing: 6

                StaticText {
                    objectName: "trackTitle"
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignHCenter
                    text: screen.trackTitle
                    font: Theme.withWeight(Theme.title2, Font.Bold)
                    color: "white"
                    wrapMode: Text.Wrap
                    maximumLineCount: 2
                    elide: Text.ElideRight
                }
                StaticText {
                    objectName: "artistLine"
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignHCenter
                    text: screen.artistLine
                    font: Theme.subheadline
                    color: Qt.rgba(1, 1, 1, 0.55)
                    maximumLineCount: 1
                    elide: Text.ElideRight
                }
                // Why the stream reconnects or could not play.
                StaticText {
                    objectName: "recoveryLine"
                    visible: text !== ""
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignHCenter
                    text: screen.recoveryText
                    font: Theme.withWeight(Theme.footnote, Font.Medium)
                    color: screen.playbackFailed ? Theme.red : Theme.orange
                    wrapMode: Text.Wrap
                    maximumLineCount: 3
                    elide: Text.ElideRight
                }
            }

            PlayerTransport {
                id: transport
                objectName: "transport"
                Layout.fillWidth: true
                Layout.minimumHeight: implicitHeight
                model: screen
            }

            PlayerFooter {
                id: footer
                objectName: "footer"
                Layout.fillWidth: true
                Layout.topMargin: screen.compact ? 10 : 14
                Layout.minimumHeight: implicitHeight
                station: RadioPlayer.currentStation
            }

            StaticText {
                id: offlineError
                objectName: "offlineError"
                visible: text !== ""
                Layout.fillWidth: true
                Layout.topMargin: 6
                horizontalAlignment: Text.AlignHCenter
                text: root.downloadFailure
                font: Theme.withWeight(Theme.caption2, Font.Medium)
                color: Qt.rgba(Theme.red.r, Theme.red.g, Theme.red.b, 0.85)
                wrapMode: Text.Wrap
            }

            AdBannerView {
                objectName: "adBanner"
                visible: column.bannerFits
                Layout.fillWidth: true
                Layout.topMargin: 14
                Layout.preferredHeight: 140
                Layout.minimumHeight: 140
            }

            Item {
                Layout.fillHeight: true
            }
        }
    }

    // The offline error line, spoken as it appears.
    Announcer {
        objectName: "offlineErrorAnnouncer"
        text: root.downloadFailure
    }
    // Connecting and playing, spoken as the play button shows them (the home badge that says so
    // lies under this screen), and why the stream reconnects or could not play; playing, with the
    // track: a new track is spoken as it starts.
    Announcer {
        objectName: "statusAnnouncer"
        text: RadioPlayer.isPlaying && !screen.showsSpinner && screen.statusText !== ""
              ? [screen.statusText, screen.trackTitle, screen.artistLine].filter(t => t !== "").join("، ")
              : screen.statusText
    }

    // The station a sheet keeps: the player's at the moment the sheet is built; it does not
    // follow later changes. Without a station the sheet shows empty.
    component StationSheetPage: Item {
        id: holder
        readonly property var station: screen.stationCopy()
        property Component page
        readonly property Item pageItem: pageLoader.item
        readonly property string navigationTitle: pageItem ? pageItem.navigationTitle : ""
        signal dismissRequested()

        Loader {
            id: pageLoader
            anchors.fill: parent
            active: holder.station !== undefined
            sourceComponent: holder.page
        }
        Connections {
            target: pageLoader.item
            ignoreUnknownSignals: true
            function onDismissRequested() { holder.dismissRequested() }
        }
    }

    Sheet {
        objectName: "equalizerSheet"
        presenter: screen
        flag: "showEQ"
        EQView {}
    }
    Sheet {
        objectName: "storySheet"
        presenter: screen
        flag: "showStory"
        StationSheetPage {
            id: storyPage
            page: Component { StoryView { station: storyPage.station } }
        }
    }
    Sheet {
        objectName: "lyricsSheet"
        presenter: screen
        flag: "showLyrics"
        StationSheetPage {
            id: lyricsPage
            page: Component { LyricsSheet { station: lyricsPage.station } }
        }
    }
    Sheet {
        objectName: "loginSheet"
        presenter: screen
        flag: "showLogin"
        LoginSheet {}
    }
    Sheet {
        objectName: "addToPlaylistSheet"
        presenter: screen
        flag: "showAddToPlaylist"
        StationSheetPage {
            id: addPage
            page: Component { AddToPlaylistSheet { station: addPage.station } }
        }
    }
}
