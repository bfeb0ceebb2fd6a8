import QtQuick
import Melodrift

// A text that carries meaning (a title, a count, a status line, an error, a row's text): exposed
// to assistive technology as static text with its content, which a plain Text is not in this Qt.
// Hidden or empty, it is not exposed. Purely decorative text stays a plain Text.
//     StaticText { text: model.trackCountText; font: Theme.caption; color: Theme.secondaryLabel }
// A screen's title: `Accessible.role: Accessible.Heading`.
Text {
    textFormat: Text.PlainText

    Accessible.role: Accessible.StaticText
    Accessible.name: text
    Accessible.ignored: !visible || text === ""
}
