import QtQuick
import Melodrift

// The library tab's SoundCloud card down to its line: heading, field and arrow button, and the
// line (failure or "no result"). The result rows follow as rows of the tab's list
// (SoundCloudCardRow), drawn on the same card, so only those in view are built. Its state lives in
// `model`, kept while the tab lives, so a card built again shows it as it was.
//     SoundCloudCard { width: column.width; model: SoundCloudCardModel {} }
Item {
    id: card

    objectName: "soundCloudCard"

    required property SoundCloudCardModel model
    // Result rows follow under the card's last line: its bottom stays open.
    readonly property bool rowsFollow: model.resultCount > 0
    readonly property real innerWidth: width - 32

    implicitWidth: 360
    implicitHeight: lines.implicitHeight + (rowsFollow ? 16 : 32)

    SectionCardSlice {
        anchors.fill: parent
        roundBottom: !card.rowsFollow
    }

    Column {
        id: lines
        x: 16
        y: 16
        width: card.innerWidth
        spacing: 12

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
                text: card.model.query
                onEdited: value => card.model.query = value
                onSubmitted: card.model.search()
            }

            SearchButton {
                id: button
                objectName: "searchButton"
                anchors.verticalCenter: parent.verticalCenter
                symbol: "arrow.right.circle.fill"
                symbolSize: 22
                busy: card.model.isLoading
                enabled: card.model.canSearch && !card.model.isLoading
                Accessible.name: "جستجو در ساندکلود"
                onClicked: card.model.search()
            }
        }

        StaticText {
            objectName: "errorLine"
            width: card.innerWidth
            visible: card.model.errorMessage !== ""
            text: card.model.errorMessage
            font: Theme.footnote
            color: Qt.rgba(1, 1, 1, 0.6)
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignLeft
        }
    }
}
