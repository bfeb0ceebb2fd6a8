import QtQuick
import Melodrift

// The lyrics sheet's placard for a failed load or a track without lyrics: a large symbol, a title
// and a message, 120 points below the top of the content.
Item {
    id: placard

    property string symbol
    property string title
    property string message

    anchors.fill: parent

    Column {
        y: 120
        width: parent.width
        spacing: 12

        SymbolImage {
            anchors.horizontalCenter: parent.horizontalCenter
            symbol: placard.symbol
            size: 42
            color: Qt.rgba(1, 1, 1, 0.35)
        }
        StaticText {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: placard.title
            font: Theme.headline
            color: Qt.rgba(1, 1, 1, 0.85)
            wrapMode: Text.WordWrap
        }
        StaticText {
            x: 40
            width: parent.width - 80
            horizontalAlignment: Text.AlignHCenter
            text: placard.message
            font: Theme.subheadline
            color: Qt.rgba(1, 1, 1, 0.5)
            wrapMode: Text.WordWrap
        }
    }
}
