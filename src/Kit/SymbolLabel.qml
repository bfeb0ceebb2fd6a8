import QtQuick
import Melodrift

// A label: a symbol followed by a text, symbol at the leading edge (the right in RTL). Either
// may be left empty.
Row {
    id: root

    property string text
    property string symbol
    property real symbolSize: font.pixelSize
    property font font: Theme.body
    property color color: Theme.label

    spacing: 6

    SymbolImage {
        visible: root.symbol !== ""
        symbol: root.symbol
        size: root.symbolSize
        color: root.color
        anchors.verticalCenter: parent.verticalCenter
    }
    Text {
        textFormat: Text.PlainText
        visible: root.text !== ""
        text: root.text
        font: root.font
        color: root.color
        anchors.verticalCenter: parent.verticalCenter
    }
}
