import QtQuick
import QtQuick.Controls
import Melodrift

// The page of one station, pushed on the home screen's navigation stack:
//     navigationStack.push(Qt.resolvedUrl("qrc:/Melodrift/StationDetailView.qml"), { station: s })
// It shows the station's artwork, name and track count, "پخش همه" and the numbered track list
// (fetched first when the station needs one), a failure view with "تلاش دوباره", or the live view.
// Playing hands the player a station and presents the full player.
NavigationPage {
    id: page

    // The station as tapped (a Station record).
    required property var station

    navigationTitle: detail.displayName

    StationDetailViewModel {
        id: detail
        station: page.station
    }

    // Each time the page is shown: when built, and when a page above it goes away.
    Component.onCompleted: detail.appear()
    StackView.onActivating: detail.appear()

    // ---- loading
    ProgressView {
        objectName: "loadingView"
        anchors.centerIn: parent
        visible: detail.content === StationDetailViewModel.Loading
        tint: "white"
    }

    // ---- list: the header and "پخش همه" scroll with the rows; rows are built as they come into view.
    LazyListView {
        id: list
        objectName: "listView"
        anchors.fill: parent
        visible: detail.content === StationDetailViewModel.List
        spacing: 8
        topMargin: 12
        bottomMargin: detail.bottomPadding
        model: detail.rows

        readonly property real innerWidth: width - 32

        header: Column {
            width: list.width
            spacing: 18
            leftPadding: 16
            rightPadding: 16
            bottomPadding: 18

            PageHeader {
                width: list.innerWidth
                title: detail.displayName
                countText: detail.trackCountText
                picture: ArtworkImage {
                    urlString: detail.artworkURL
                    cornerRadius: 14
                }
                onPlayAll: detail.playAll()
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
            width: list.width
            height: trackRow.height

            StationTrackRow {
                id: trackRow
                objectName: "trackRow" + slot.index
                x: 16
                width: list.innerWidth
                modelData: ({number: String(slot.index + 1), title: slot.title, artist: slot.artist,
                             artworkURL: slot.artworkURL, durationText: slot.durationText})
                index: slot.index
                positionText: (slot.index + 1) + " از " + list.count
                isCurrent: slot.index === detail.currentRow
                offlineMenu: () => detail.offlineMenu(slot.index)
                onClicked: detail.play(slot.index)
                onOfflineActionChosen: action => detail.performOfflineAction(slot.index, action)
            }
        }
    }

    // ---- failure
    Column {
        objectName: "failureView"
        anchors.centerIn: parent
        visible: detail.content === StationDetailViewModel.Failure
        spacing: 12

        StaticText {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "دریافت لیست آهنگها ناموفق بود"
            // The retry button's description says it, once, with the button.
            Accessible.ignored: true
            font: Theme.subheadline
            color: Qt.rgba(1, 1, 1, 0.6)
        }
        ProminentButton {
            objectName: "retryButton"
            anchors.horizontalCenter: parent.horizontalCenter
            text: "تلاش دوباره"
            Accessible.description: "دریافت لیست آهنگها ناموفق بود"
            onClicked: detail.retry()
        }
    }

    // ---- live
    Column {
        objectName: "liveView"
        anchors.centerIn: parent
        visible: detail.content === StationDetailViewModel.Live
        spacing: 14

        SymbolImage {
            anchors.horizontalCenter: parent.horizontalCenter
            symbol: "dot.radiowaves.left.and.right"
            size: 42
            color: Theme.accent
        }
        StaticText {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "این ایستگاه پخش زنده است"
            font: Theme.headline
            color: "white"
        }
        ButtonBase {
            objectName: "playLiveButton"
            anchors.horizontalCenter: parent.horizontalCenter
            leftPadding: 30
            rightPadding: 30
            topPadding: 12
            bottomPadding: 12
            focusRingRadius: height / 2 + 3
            Accessible.name: "پخش زنده"
            opacity: pressed ? 0.55 : 1.0
            onClicked: detail.playLive()

            contentItem: SymbolLabel {
                text: "پخش زنده"
                symbol: "play.fill"
                font: Theme.withWeight(Theme.subheadline, Font.Bold)
                color: "black"
            }
            background: Rectangle {
                radius: height / 2
                color: "white"
            }
        }
    }
}
