import QtQuick
import QtQuick.Controls
import Melodrift

// A plain text field: white text on a rounded fill of white at 7 %, its placeholder dimmed.
//     PlainTextField { placeholderText: "نام پلیلیست جدید…"; onTextEdited: model.newTitle = text }
// The placeholder is its accessible name unless one is given.
TextField {
    id: field

    property real cornerRadius: 12

    leftPadding: 14
    rightPadding: 14
    topPadding: 12
    bottomPadding: 12
    font: Theme.body
    color: "white"
    placeholderTextColor: Qt.rgba(1, 1, 1, 0.35)
    selectionColor: Theme.accent
    selectedTextColor: "white"
    horizontalAlignment: TextInput.AlignLeft
    selectByMouse: true
    Accessible.name: placeholderText

    background: Rectangle {
        radius: field.cornerRadius
        color: Qt.rgba(1, 1, 1, 0.07)
        border.width: field.activeFocus ? 1 : 0
        border.color: Theme.accent
    }
}
