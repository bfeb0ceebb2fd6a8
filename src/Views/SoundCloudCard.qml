import QtQuick
import Melodrift

// The library tab's SoundCloud card: heading, field and arrow button, the line (failure or
// "no result") and one row per result. A row plays its station unchanged and opens the full player.
//     SoundCloudCard { width: column.width }
// The card keeps its text and rows while it lives.
SectionCardFrame {
    id: card

    objectName: "soundCloudCard"

    // The screen model, for scenes and tests.
    readonly property alias model: search

    SoundCloudCardModel {
        id: search
    }

    SymbolLabel {
        text: "جستجوی ساندکلود"
        symbol: "magnifyingglass"
        font: Theme.headline
        color: Qt.rgba(1, 1, 1, 0.85)
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }

    Row {
        width: card.innerWidth
        spacing: 10

        SearchField {
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
            symbol: "arrow.right.circle.fill"
            symbolSize: 22
            busy: search.isLoading
            enabled: search.canSearch && !search.isLoading
            Accessible.name: "جستجو در ساندکلود"
            onClicked: search.search()
        }
    }

    StaticText {
        objectName: "errorLine"
        width: card.innerWidth
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

            objectName: "resultRow" + index
            width: card.innerWidth
            row: modelData
            radius: 16
            trailing: playMark
            onClicked: search.play(index)
        }
    }

    Component {
        id: playMark
        SymbolImage {
            symbol: "play.circle"
            size: 22
            color: Qt.rgba(1, 1, 1, 0.5)
        }
    }
}
