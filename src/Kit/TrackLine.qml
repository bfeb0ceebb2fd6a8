import QtQuick
import Melodrift

// The line a track shows in a list, as the content of its button: its number (when it has one),
// its picture, its title and artist on a line each, and what stands at its end (the time, the
// playing bars, a mark).
//     ButtonBase {
//         contentItem: TrackLine {
//             number: "3"; title: track.title; artist: track.artist
//             picture: ArtworkImage { urlString: track.artworkURL; cornerRadius: 8 }
//             trailing: Text { text: track.durationText }
//         }
//     }
Item {
    id: line

    // Empty: no number column.
    property string number
    property string title
    property string artist
    property color titleColor: "white"
    property real pictureSize: 44
    property real textSpacing: 2
    property real trailingGap: 12
    // Placed in their slots: the picture at the start, the trailing item at the end.
    property Item picture
    property Item trailing
    // The texts are left out for assistive technology when the row's own name says them.
    property bool textsSpokenByRow: false

    implicitHeight: pictureSize

    onPictureChanged: place(picture, pictureSlot)
    onTrailingChanged: place(trailing, trailingSlot)
    Component.onCompleted: {
        place(picture, pictureSlot)
        place(trailing, trailingSlot)
    }
    function place(item, slot) {
        if (!item)
            return
        item.parent = slot
        item.anchors.centerIn = slot
        if (slot === pictureSlot) {
            item.width = Qt.binding(() => line.pictureSize)
            item.height = Qt.binding(() => line.pictureSize)
        }
    }

    Text {
        id: numberText
        textFormat: Text.PlainText
        width: line.number !== "" ? 22 : 0
        visible: line.number !== ""
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        text: line.number
        font: Theme.withWeight(Theme.caption2, Font.Bold)
        color: Qt.rgba(1, 1, 1, 0.35)
        horizontalAlignment: Text.AlignHCenter
    }

    Item {
        id: pictureSlot
        width: line.pictureSize
        height: line.pictureSize
        anchors.left: numberText.right
        anchors.leftMargin: line.number !== "" ? 12 : 0
        anchors.verticalCenter: parent.verticalCenter
    }

    Column {
        anchors.left: pictureSlot.right
        anchors.leftMargin: 12
        anchors.right: trailingSlot.left
        anchors.rightMargin: line.trailingGap
        anchors.verticalCenter: parent.verticalCenter
        spacing: line.textSpacing

        Text {
            textFormat: Text.PlainText
            width: parent.width
            text: line.title
            font: Theme.withWeight(Theme.footnote, Font.DemiBold)
            color: line.titleColor
            maximumLineCount: 1
            elide: Text.ElideRight
            horizontalAlignment: Text.AlignLeft
            Accessible.ignored: line.textsSpokenByRow
        }
        Text {
            textFormat: Text.PlainText
            width: parent.width
            text: line.artist
            font: Theme.caption
            color: Qt.rgba(1, 1, 1, 0.5)
            maximumLineCount: 1
            elide: Text.ElideRight
            horizontalAlignment: Text.AlignLeft
            Accessible.ignored: line.textsSpokenByRow
        }
    }

    Item {
        id: trailingSlot
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        width: line.trailing ? line.trailing.width : 0
        height: line.trailing ? line.trailing.height : 0
    }
}
