import QtQuick
import QtQuick.Controls
import Melodrift

// A button of a dialog's button row: its text centred, running to the dialog's edges (its focus
// ring inside its own).
//     DialogButton { text: "حذف"; color: Theme.red; onClicked: ... }
PlainButton {
    id: button

    focusRing.gap: -4
    focusRing.horizontalGap: -4
    color: Theme.accent
    Accessible.name: text
    contentItem: Text {
        textFormat: Text.PlainText
        text: button.text
        font: button.font
        color: button.color
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
}
