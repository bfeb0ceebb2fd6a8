import QtQuick
import Melodrift

// A result of the library tab's SoundCloud card, as a row of the tab's list: the card's background
// under it (the last one closes the card) and the result, 12 below the line above. A press plays
// its station unchanged and opens the full player.
//     SoundCloudCardRow { width: column.width; model: soundCloud; row: roles; position: i; isLast: ... }
Item {
    id: slot

    required property SoundCloudCardModel model
    // The result's roles: title, artist, artworkURL.
    required property var row
    required property int position
    required property bool isLast

    implicitHeight: 12 + result.height + (isLast ? 16 : 0)

    SectionCardSlice {
        x: 16
        width: slot.width - 32
        height: slot.height
        roundTop: false
        roundBottom: slot.isLast
    }

    SoundCloudResultRow {
        id: result
        objectName: "resultRow" + slot.position
        x: 32
        y: 12
        width: slot.width - 64
        row: slot.row
        radius: 16
        trailing: playMark
        onClicked: slot.model.play(slot.position)
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
