import QtQuick
import Melodrift

// Every symbol of the table with its name, for review (scripts/screenshots.sh renders it).
Rectangle {
    color: Theme.background
    implicitWidth: 430
    implicitHeight: grid.height + 24

    Grid {
        id: grid
        x: 8
        y: 12
        columns: 4
        rowSpacing: 6
        columnSpacing: 0

        Repeater {
            model: Symbols.names
            Column {
                required property string modelData
                width: (grid.parent.width - 16) / 4
                spacing: 2
                SymbolImage {
                    anchors.horizontalCenter: parent.horizontalCenter
                    symbol: modelData
                    size: 22
                }
                Text {
                    textFormat: Text.PlainText
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    text: modelData
                    font.pixelSize: 9
                    color: Theme.secondaryLabel
                    elide: Text.ElideMiddle
                }
            }
        }
    }
}
