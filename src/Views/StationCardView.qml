import QtQuick
import Melodrift

// The grid card of one station: artwork (dimmed with a playing indicator while it is the player's
// station), name, and the track count or the live badge.
//     StationCardView { width: 160; station: modelData; onTap: home.open(modelData) }
// The card is one button in the scale style; a click emits `tap` and does nothing else (the card
// never touches the player). Its height follows its width.
ScaleButtonStyle {
    id: card

    // The station (a Station record), fixed for the card's life.
    required property var station

    // The card's action; without a handler a click does nothing.
    signal tap()

    readonly property real cornerRadius: 14

    implicitWidth: 155
    implicitHeight: cardContent.implicitHeight
    onClicked: card.tap()

    focusRingRadius: cornerRadius + 3
    Accessible.name: cardModel.displayName
    Accessible.description: cardModel.showsTrackCount ? cardModel.trackCountText : "زنده"

    StationCardViewModel {
        id: cardModel
        station: card.station
    }

    contentItem: Item {
        id: cardContent
        implicitWidth: card.implicitWidth
        implicitHeight: column.implicitHeight

        // Behind the whole card.
        Rectangle {
            anchors.fill: parent
            radius: card.cornerRadius
            color: Qt.rgba(1, 1, 1, 0.05)
        }

        Column {
            id: column
            width: parent.width
            spacing: 0

            Item {
                id: square
                width: column.width
                height: width

                SoftShadow {
                    anchors.fill: parent
                    radius: card.cornerRadius
                    color: Qt.rgba(0, 0, 0, 0.35)
                    blur: 8
                    offsetY: 5
                }

                ArtworkImage {
                    anchors.fill: parent
                    urlString: cardModel.artworkURL
                    cornerRadius: card.cornerRadius
                }

                // The border, drawn inside the rounded square, over the darkening of the selected
                // card: one rectangle, as each one under the playing indicator is painted again at
                // every step of it.
                Rectangle {
                    objectName: "border"
                    anchors.fill: parent
                    radius: card.cornerRadius
                    color: cardModel.isSelected ? Qt.rgba(0, 0, 0, 0.45) : "transparent"
                    border.width: cardModel.isSelected ? 2 : 1
                    border.color: cardModel.isSelected ? Theme.accent : Qt.rgba(1, 1, 1, 0.08)

                    // Made only on the selected card: a catalogue has many cards, one selected.
                    Loader {
                        anchors.centerIn: parent
                        active: cardModel.isSelected
                        sourceComponent: cardModel.isPlaying ? playingBars : pausedSymbol
                    }
                    Component {
                        id: playingBars
                        EqualizerBars { tint: "white" }
                    }
                    Component {
                        id: pausedSymbol
                        SymbolImage {
                            symbol: "pause.fill"
                            size: 26
                            color: "white"
                        }
                    }
                }
            }

            Column {
                width: column.width
                padding: 10
                spacing: 3

                Text {
                    textFormat: Text.PlainText
                    objectName: "cardName"
                    width: parent.width - 2 * parent.padding
                    text: cardModel.displayName
                    font: Theme.withWeight(Theme.footnote, Font.DemiBold)
                    color: "white"
                    maximumLineCount: 2
                    wrapMode: Text.Wrap
                    elide: Text.ElideRight
                    horizontalAlignment: Text.AlignLeft
                }

                Text {
                    textFormat: Text.PlainText
                    visible: cardModel.showsTrackCount
                    width: parent.width - 2 * parent.padding
                    text: cardModel.trackCountText
                    font: Theme.caption2
                    color: Qt.rgba(1, 1, 1, 0.5)
                    horizontalAlignment: Text.AlignLeft
                }

                // As wide as the text block, so that it starts at the leading (right) edge.
                Row {
                    objectName: "liveBadge"
                    visible: !cardModel.showsTrackCount
                    width: parent.width - 2 * parent.padding
                    spacing: 4

                    Rectangle {
                        anchors.verticalCenter: parent.verticalCenter
                        width: 5
                        height: 5
                        radius: 2.5
                        color: Theme.red
                        opacity: cardModel.isPlaying ? 1 : 0.5
                    }
                    Text {
                        textFormat: Text.PlainText
                        anchors.verticalCenter: parent.verticalCenter
                        text: "زنده"
                        font: Theme.caption2
                        color: Qt.rgba(1, 1, 1, 0.5)
                    }
                }
            }
        }
    }
}
