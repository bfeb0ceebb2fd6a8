import QtQuick
import QtQuick.Controls
import Melodrift

// The SoundCloud search page, pushed on the home screen's stack:
//     stack.push(Qt.resolvedUrl("qrc:/Melodrift/SoundCloudSearchView.qml"))
// The field and its button, the error line, one row per result (the current station's row shows
// the bars) and, before the first search, the hint. A row plays its station unchanged and opens
// the full player. Each push starts afresh.
NavigationPage {
    id: page

    navigationTitle: "جستجوی ساندکلود"

    // The screen model, for scenes and tests.
    readonly property alias model: search

    SoundCloudSearchViewModel {
        id: search
    }

    // The field and the error line scroll with the results; result rows are built as they come into view.
    LazyListView {
        id: list
        objectName: "resultsList"
        anchors.fill: parent
        spacing: 14
        topMargin: 12
        bottomMargin: search.bottomPadding
        model: search.results
        scrollBarPolicy: ScrollBar.AlwaysOff

        readonly property real innerWidth: width - 32

        header: Column {
            width: list.width
            spacing: 14
            leftPadding: 16
            rightPadding: 16

            // The field row.
            Row {
                width: list.innerWidth
                spacing: 10

                SearchField {
                    id: field
                    objectName: "queryField"
                    width: parent.width - button.width - parent.spacing
                    anchors.verticalCenter: parent.verticalCenter
                    placeholder: "نام آهنگ یا هنرمند…"
                    text: search.query
                    onEdited: value => search.query = value
                    onSubmitted: search.search()
                }

                SearchButton {
                    id: button
                    objectName: "searchButton"
                    anchors.verticalCenter: parent.verticalCenter
                    symbol: "magnifyingglass"
                    symbolSize: 18
                    busy: search.isLoading
                    enabled: search.canSearch && !search.isLoading
                    restingOpacity: search.canSearch ? 1.0 : 0.5
                    Accessible.name: "جستجو"
                    onClicked: search.search()
                }
            }

            StaticText {
                objectName: "errorLine"
                width: list.innerWidth
                visible: search.errorMessage !== ""
                text: search.errorMessage
                font: Theme.footnote
                color: Qt.rgba(1, 1, 1, 0.6)
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignLeft
            }
        }

        delegate: FocusScope {
            id: slot
            required property int index
            required property string genre
            required property string title
            required property string artist
            required property string artworkURL
            readonly property var modelData: ({genre: genre, title: title, artist: artist, artworkURL: artworkURL})
            width: list.width
            // The gap under the field goes with the first row, so the header keeps its height when
            // the first answer comes (the page would scroll by the gap).
            readonly property real gap: index === 0 ? 14 : 0
            height: gap + resultRow.height

            SoundCloudResultRow {
                id: resultRow
                y: slot.gap
                readonly property bool isCurrent: slot.modelData.genre === search.currentGenre

                objectName: "resultRow" + slot.index
                x: 16
                width: list.innerWidth
                row: slot.modelData
                radius: 14
                stateText: isCurrent ? "در حال پخش" : ""
                trailing: isCurrent ? barsMark : playMark
                onClicked: search.play(slot.index)
            }
        }

        // The hint before the first search.
        footer: Item {
            width: list.width
            height: emptyHint.visible ? emptyHint.height : 0

            Column {
                id: emptyHint
                objectName: "emptyHint"
                x: 16
                width: list.innerWidth
                visible: !search.searched && search.resultCount === 0
                topPadding: 60
                spacing: 10

                SymbolImage {
                    anchors.horizontalCenter: parent.horizontalCenter
                    symbol: "magnifyingglass"
                    size: 38
                    color: Qt.rgba(1, 1, 1, 0.3)
                }
                StaticText {
                    width: parent.width
                    text: "یه آهنگ یا هنرمند رو سرچ کن"
                    font: Theme.subheadline
                    color: Qt.rgba(1, 1, 1, 0.5)
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.Wrap
                }
            }
        }
    }

    Component {
        id: barsMark
        EqualizerBars {
            width: 16
            height: 12
            tint: Theme.accent
        }
    }

    Component {
        id: playMark
        SymbolImage {
            symbol: "play.fill"
            size: 13
            color: Qt.rgba(1, 1, 1, 0.4)
        }
    }
}
