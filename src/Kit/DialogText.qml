import QtQuick
import Melodrift

// A dialog's title or message line: centred, wrapped, shown only with a text.
//     DialogText { objectName: "dialogTitle"; text: dialog.title; font: Theme.headline }
StaticText {
    visible: text !== ""
    font: Theme.footnote
    color: Theme.secondaryLabel
    horizontalAlignment: Text.AlignHCenter
    wrapMode: Text.Wrap
}
