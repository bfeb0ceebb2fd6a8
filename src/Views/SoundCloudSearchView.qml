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

    ScrollView {
        id: scroll
        anchors.fill: parent
        contentWidth: availableWidth
        ScrollBar.vertical.policy: ScrollBar.AlwaysOff

        Column {
            id: list
            width: scroll.availableWidth
            spacing: 14
            leftPadding: 16
            rightPadding: 16
            topPadding: 12
            bottomPadding: search.bottomPadding

            readonly property real innerWidth: width - leftPadding - rightPadding

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

            Repeater {
                objectName: "results"
                model: search.results

                SoundCloudResultRow {
                    required property var modelData
                    required property int index
                    readonly property bool isCurrent: modelData.genre === search.currentGenre

                    objectName: "resultRow" + index
                    width: list.innerWidth
                    row: modelData
                    radius: 14
                    stateText: isCurrent ? "در حال پخش" : ""
                    trailing: isCurrent ? barsMark : playMark
                    onClicked: search.play(index)
                }
            }

            // The hint before the first search.
            Column {
                objectName: "emptyHint"
                width: list.innerWidth
                visible: !search.searched && search.results.length === 0
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
