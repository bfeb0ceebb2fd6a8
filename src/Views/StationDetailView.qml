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

    function offlineSymbol(action) {
        if (action === "remove")
            return "trash"
        return "arrow.down.circle"
    }

    // ---- loading
    ProgressView {
        objectName: "loadingView"
        anchors.centerIn: parent
        visible: detail.content === StationDetailViewModel.Loading
        tint: "white"
    }

    // ---- list
    ScrollView {
        id: scroll
        objectName: "listView"
        anchors.fill: parent
        visible: detail.content === StationDetailViewModel.List
        contentWidth: availableWidth
        ScrollBar.vertical.policy: ScrollBar.AsNeeded

        Column {
            id: list
            width: scroll.availableWidth
            spacing: 18
            leftPadding: 16
            rightPadding: 16
            topPadding: 12
            bottomPadding: detail.bottomPadding

            readonly property real innerWidth: width - leftPadding - rightPadding

            // Header: artwork, name and count.
            Rectangle {
                objectName: "header"
                width: list.innerWidth
                height: headerRow.implicitHeight + 28
                radius: 18
                color: Qt.rgba(1, 1, 1, 0.06)

                Row {
                    id: headerRow
                    x: 14
                    y: 14
                    width: parent.width - 28
                    spacing: 14

                    ArtworkImage {
                        width: 96
                        height: 96
                        anchors.verticalCenter: parent.verticalCenter
                        urlString: detail.artworkURL
                        cornerRadius: 14
                    }

                    Column {
                        width: headerRow.width - 96 - headerRow.spacing
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 6

                        StaticText {
                            width: parent.width
                            text: detail.displayName
                            font: Theme.withWeight(Theme.headline, Font.Bold)
                            color: "white"
                            maximumLineCount: 3
                            wrapMode: Text.Wrap
                            elide: Text.ElideRight
                            horizontalAlignment: Text.AlignLeft
                        }
                        StaticText {
                            width: parent.width
                            text: detail.trackCountText
                            font: Theme.caption
                            color: Qt.rgba(1, 1, 1, 0.5)
                            horizontalAlignment: Text.AlignLeft
                        }
                    }
                }
            }

            // "پخش همه"
            ButtonBase {
                objectName: "playAllButton"
                width: list.innerWidth
                topPadding: 13
                bottomPadding: 13
                focusRingRadius: 17
                Accessible.name: "پخش همه"
                opacity: pressed ? 0.55 : 1.0
                onClicked: detail.playAll()

                contentItem: Item {
                    implicitHeight: playAllLabel.implicitHeight
                    SymbolLabel {
                        id: playAllLabel
                        anchors.centerIn: parent
                        text: "پخش همه"
                        symbol: "play.fill"
                        font: Theme.withWeight(Theme.subheadline, Font.Bold)
                        color: "black"
                    }
                }
                background: Rectangle {
                    radius: 14
                    color: "white"
                }
            }

            // The tracks.
            Column {
                objectName: "trackList"
                width: list.innerWidth
                spacing: 8

                Repeater {
                    model: detail.rows

                    ButtonBase {
                        id: row
                        required property var modelData
                        required property int index
                        readonly property bool isCurrent: index === detail.currentRow

                        objectName: "trackRow" + index
                        width: list.innerWidth
                        padding: 10
                        focusRingRadius: 17
                        // Number and title; the artist and the time (or that it plays) follow.
                        Accessible.name: row.modelData.number + ". " + row.modelData.title
                        Accessible.description: [row.modelData.artist,
                                                 row.isCurrent ? "در حال پخش" : row.modelData.durationText]
                                                .filter(part => part !== "").join("، ")
                        opacity: pressed ? 0.55 : 1.0
                        onClicked: detail.play(index)

                        background: Rectangle {
                            radius: 14
                            color: Qt.rgba(1, 1, 1, 0.04)
                        }

                        contentItem: Item {
                            implicitHeight: 44

                            Text {
                                id: number
                                textFormat: Text.PlainText
                                width: 22
                                anchors.left: parent.left
                                anchors.verticalCenter: parent.verticalCenter
                                text: row.modelData.number
                                font: Theme.withWeight(Theme.caption2, Font.Bold)
                                color: Qt.rgba(1, 1, 1, 0.35)
                                horizontalAlignment: Text.AlignHCenter
                            }

                            ArtworkImage {
                                id: rowArtwork
                                width: 44
                                height: 44
                                anchors.left: number.right
                                anchors.leftMargin: 12
                                anchors.verticalCenter: parent.verticalCenter
                                urlString: row.modelData.artworkURL
                                cornerRadius: 8
                            }

                            Column {
                                anchors.left: rowArtwork.right
                                anchors.leftMargin: 12
                                anchors.right: trailing.left
                                anchors.rightMargin: 12
                                anchors.verticalCenter: parent.verticalCenter
                                spacing: 2

                                Text {
                                    textFormat: Text.PlainText
                                    width: parent.width
                                    text: row.modelData.title
                                    font: Theme.withWeight(Theme.footnote, Font.DemiBold)
                                    color: row.isCurrent ? Theme.accent : "white"
                                    maximumLineCount: 1
                                    elide: Text.ElideRight
                                    horizontalAlignment: Text.AlignLeft
                                }
                                Text {
                                    textFormat: Text.PlainText
                                    width: parent.width
                                    text: row.modelData.artist
                                    font: Theme.caption
                                    color: Qt.rgba(1, 1, 1, 0.5)
                                    maximumLineCount: 1
                                    elide: Text.ElideRight
                                    horizontalAlignment: Text.AlignLeft
                                }
                            }

                            Item {
                                id: trailing
                                anchors.right: parent.right
                                anchors.verticalCenter: parent.verticalCenter
                                width: row.isCurrent ? 18 : duration.implicitWidth
                                height: 14

                                EqualizerBars {
                                    anchors.fill: parent
                                    visible: row.isCurrent
                                    tint: Theme.accent
                                }
                                Text {
                                    id: duration
                                    textFormat: Text.PlainText
                                    anchors.centerIn: parent
                                    visible: !row.isCurrent && text !== ""
                                    text: row.modelData.durationText
                                    font: Theme.caption2
                                    color: Qt.rgba(1, 1, 1, 0.4)
                                }
                            }
                        }

                        ContextMenu {
                            entries: function() {
                                return detail.offlineMenu(row.index).map(item => ({
                                    text: item.text,
                                    symbol: page.offlineSymbol(item.action),
                                    action: () => detail.performOfflineAction(row.index, item.action)
                                }))
                            }
                        }
                    }
                }
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
            font: Theme.subheadline
            color: Qt.rgba(1, 1, 1, 0.6)
        }
        ProminentButton {
            objectName: "retryButton"
            anchors.horizontalCenter: parent.horizontalCenter
            text: "تلاش دوباره"
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
