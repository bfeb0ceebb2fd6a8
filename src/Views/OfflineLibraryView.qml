import QtQuick
import QtQuick.Controls
import Melodrift

// The downloaded tracks, pushed on the library tab's navigation stack:
//     navigationStack.push(Qt.resolvedUrl("qrc:/Melodrift/OfflineLibraryView.qml"))
// The last download error, the running downloads (progress, cancel), the completed ones newest
// first (a tap plays them as the offline station; the context menu, or the menu key / Shift+F10 on
// a focused row, removes one) and their count and size; the trash button clears them all after a
// confirmation. With nothing downloaded and nothing running: the empty state. Removing the focused
// row hands the focus to the row now in its place (the previous one after the last row, the
// page's title once none is left).
NavigationPage {
    id: page

    // Called from the row's own menu, once it has closed. The list gives the focus to the row now
    // in its place.
    function removeRow(key) {
        const at = offline.rowOf(key)
        if (at >= 0)
            offline.remove(at)
    }

    navigationTitle: "دانلودهای آفلاین"

    OfflineLibraryViewModel {
        id: offline
    }

    toolbarTrailing: Component {
        PlainButton {
            objectName: "clearAllButton"
            visible: offline.hasEntries
            symbol: "trash"
            symbolSize: 18
            color: Qt.rgba(Theme.red.r, Theme.red.g, Theme.red.b, 0.85)
            Accessible.name: "حذف همه دانلودها"
            onClicked: offline.confirmClear = true
        }
    }

    // The store's last error, verbatim.
    component ErrorBanner: Rectangle {
        visible: offline.errorText !== ""
        height: errorLabel.implicitHeight + 24
        radius: 12
        color: Qt.rgba(Theme.red.r, Theme.red.g, Theme.red.b, 0.1)
        StaticText {
            id: errorLabel
            x: 12
            y: 12
            width: parent.width - 24
            text: offline.errorText
            font: Theme.withWeight(Theme.footnote, Font.Medium)
            color: Theme.red
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignLeft
        }
    }

    // ---- empty: the last error stays in view above it (a download that failed is all there is)
    ErrorBanner {
        objectName: "emptyErrorBanner"
        x: 16
        y: 12
        width: parent.width - 32
        visible: offline.content === OfflineLibraryViewModel.Empty && offline.errorText !== ""
    }
    Column {
        objectName: "emptyState"
        anchors.centerIn: parent
        width: parent.width
        visible: offline.content === OfflineLibraryViewModel.Empty
        spacing: 14

        SymbolImage {
            anchors.horizontalCenter: parent.horizontalCenter
            symbol: "arrow.down.circle"
            size: 48
            color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.7)
        }
        StaticText {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "هنوز چیزی ذخیره نکردی"
            font: Theme.withWeight(Theme.headline, Font.Bold)
            color: "white"
        }
        StaticText {
            width: parent.width - 60
            anchors.horizontalCenter: parent.horizontalCenter
            text: "توی پلیر یا لیست پلیلیستها روی دکمه دانلود بزن تا آهنگها برای پخش آفلاین ذخیره بشن."
            font: Theme.subheadline
            color: Qt.rgba(1, 1, 1, 0.5)
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
        }
    }

    // ---- the column: error, running downloads, the list and its summary. Rows are built as they
    // scroll into view.
    LazyListView {
        id: list
        objectName: "offlineList"
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        visible: offline.content === OfflineLibraryViewModel.Column
        spacing: 8
        topMargin: 12
        bottomMargin: offline.bottomPadding
        model: offline.rows

        header: Column {
            width: list.width
            spacing: 10
            bottomPadding: 8

            ErrorBanner {
                objectName: "errorBanner"
                width: parent.width
            }

            Column {
                objectName: "downloadingSection"
                width: parent.width
                visible: offline.downloads.length > 0
                spacing: 8

                Repeater {
                    model: offline.downloads

                    Rectangle {
                        id: running
                        required property var modelData
                        // Changes with each progress step while the row itself stays.
                        readonly property var download: offline.progress[modelData.key] ?? { progress: 0, percentText: "0%" }
                        objectName: "downloading_" + modelData.key
                        width: parent.width
                        height: 64
                        radius: 14
                        color: Qt.rgba(1, 1, 1, 0.04)

                        ArtworkImage {
                            id: runningArtwork
                            width: 44
                            height: 44
                            anchors.left: parent.left
                            anchors.leftMargin: 10
                            anchors.verticalCenter: parent.verticalCenter
                            urlString: running.modelData.artworkURL
                            cornerRadius: 8
                        }
                        Column {
                            anchors.left: runningArtwork.right
                            anchors.leftMargin: 12
                            anchors.right: percent.left
                            anchors.rightMargin: 12
                            anchors.verticalCenter: parent.verticalCenter
                            spacing: 5
                            Text {
                                textFormat: Text.PlainText
                                width: parent.width
                                text: running.modelData.title
                                font: Theme.withWeight(Theme.footnote, Font.DemiBold)
                                color: "white"
                                maximumLineCount: 1
                                elide: Text.ElideRight
                                horizontalAlignment: Text.AlignLeft
                            }
                            Rectangle {
                                width: parent.width
                                height: 4
                                radius: 2
                                color: Qt.rgba(1, 1, 1, 0.12)
                                Rectangle {
                                    anchors.left: parent.left
                                    height: parent.height
                                    radius: 2
                                    width: parent.width * Math.max(0, Math.min(1, running.download.progress))
                                    color: Theme.green
                                }
                            }
                        }
                        Text {
                            id: percent
                            objectName: "downloadPercent"
                            textFormat: Text.PlainText
                            anchors.right: cancelButton.left
                            anchors.rightMargin: 12
                            anchors.verticalCenter: parent.verticalCenter
                            text: running.download.percentText
                            font: Theme.withWeight(Theme.caption, Font.Bold)
                            color: Qt.rgba(1, 1, 1, 0.6)
                        }
                        PlainButton {
                            id: cancelButton
                            objectName: "cancelDownloadButton"
                            anchors.right: parent.right
                            anchors.rightMargin: 10
                            anchors.verticalCenter: parent.verticalCenter
                            symbol: "xmark.circle.fill"
                            symbolSize: 17
                            color: Qt.rgba(1, 1, 1, 0.4)
                            Accessible.name: "لغو دانلود " + running.modelData.title
                            onClicked: offline.cancel(running.modelData.key)
                        }
                    }
                }
            }
        }

        delegate: FocusScope {
            id: slot
            required property int index
            required property string key
            required property string title
            required property string artist
            required property var artworkURL
            required property string durationText
            width: list.width
            height: entryRow.height

            ButtonBase {
                id: entryRow
                readonly property int index: slot.index
                readonly property var modelData: ({number: String(slot.index + 1), title: slot.title,
                                                   artist: slot.artist, artworkURL: slot.artworkURL,
                                                   durationText: slot.durationText})
                readonly property bool playing: index === offline.playingRow

                objectName: "offlineRow" + index
                focusRingRadius: 14
                width: list.width
                padding: 10
                hoverEnabled: true
                opacity: pressed ? 0.55 : 1.0
                Accessible.name: modelData.title + "، " + modelData.artist
                // The playing row's moving bars, read out.
                Accessible.description: playing ? "در حال پخش" : modelData.durationText
                onClicked: offline.play(index)

                background: Rectangle {
                    radius: 14
                    color: Qt.rgba(1, 1, 1, 0.04)
                }
                contentItem: TrackLine {
                    number: entryRow.modelData.number
                    title: entryRow.modelData.title
                    artist: entryRow.modelData.artist
                    titleColor: entryRow.playing ? Theme.accent : "white"
                    pictureSize: 46
                    textSpacing: 3
                    picture: ArtworkImage {
                        urlString: entryRow.modelData.artworkURL
                        cornerRadius: 8
                    }
                    trailing: Row {
                        spacing: 12
                        EqualizerBars {
                            width: 18
                            height: 14
                            visible: entryRow.playing
                            tint: Theme.accent
                            anchors.verticalCenter: parent.verticalCenter
                        }
                        Text {
                            textFormat: Text.PlainText
                            visible: !entryRow.playing && text !== ""
                            text: entryRow.modelData.durationText
                            font: Theme.caption2
                            color: Qt.rgba(1, 1, 1, 0.4)
                            anchors.verticalCenter: parent.verticalCenter
                        }
                        SymbolImage {
                            symbol: "play.fill"
                            size: 13
                            color: Qt.rgba(1, 1, 1, 0.5)
                            anchors.verticalCenter: parent.verticalCenter
                        }
                    }
                }

                ContextMenu {
                    id: rowMenu
                    entries: () => [
                        { text: "حذف دانلود", symbol: "trash", destructive: true,
                          action: () => page.removeRow(slot.key) }
                    ]
                }
            }
        }

        footer: Text {
            textFormat: Text.PlainText
            objectName: "summaryLine"
            width: list.width
            visible: offline.hasEntries
            topPadding: 16
            text: offline.summaryText
            font: Theme.caption
            color: Qt.rgba(1, 1, 1, 0.4)
            horizontalAlignment: Text.AlignHCenter
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }

    ConfirmationDialog {
        objectName: "clearAllDialog"
        presenter: offline
        flag: "confirmClear"
        title: "همه دانلودها حذف شوند؟"
        message: "فایلهای ذخیرهشده از حافظه گوشی پاک میشوند."
        destructiveText: "حذف همه"
        onConfirmed: offline.removeAll()
    }
}
