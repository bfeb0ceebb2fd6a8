import QtQuick
import Melodrift

// A system symbol by name, e.g. SymbolImage { symbol: "play.fill"; size: 26; color: "white" }.
// `size` is the symbol's font size as the screens give it ("the system font of size 26"); the
// glyph is drawn from the Material Icons font at a matching pixel size. Names come from the one
// table in Symbols.cpp: a new name needs a row there (a test checks every name used in src/).
// A symbol font has a single weight, so a requested weight changes nothing.
Text {
    id: root

    property string symbol
    property real size: 17

    color: Theme.label
    text: Symbols.glyph(symbol)
    font.family: Symbols.fontFamily
    // Material glyphs fill about 5/6 of their em box, while a symbol is drawn a little larger than
    // its font size: 1.2 makes them read alike next to text.
    font.pixelSize: Math.max(1, Math.round(size * 1.2))
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
    textFormat: Text.PlainText
    Accessible.ignored: true
}
