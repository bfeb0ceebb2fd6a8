import QtQuick
import QtQuick.Controls
import Melodrift

// A modal sheet that rises from the bottom over the dimmed window:
//     Sheet {
//         presenter: model            // owner of the flag (screen model, store singleton or item)
//         flag: "showAccount"         // its writable bool property
//         LoginSheet {}               // the content, alive only while the sheet is shown
//     }
// It closes on Escape, on a tap outside it and when the content emits `dismissRequested()`,
// writing false back to the flag (see Presentation.qml).
Presentation {
    id: sheet

    // Space left above the sheet, where the dimmed window shows.
    property real topGap: 36

    z: 1
    x: 0
    y: (parent ? parent.height : 0) - height + offset
    width: parent ? parent.width : 0
    height: parent ? Math.max(0, parent.height - topGap) : 0
    dim: true
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside

    enter: Transition {
        NumberAnimation { property: "offset"; from: sheet.height; to: 0; duration: 320; easing.type: Easing.OutCubic }
    }
    exit: Transition {
        NumberAnimation { property: "offset"; from: 0; to: sheet.height; duration: 250; easing.type: Easing.InCubic }
    }

    Overlay.modal: Rectangle {
        color: Qt.rgba(0, 0, 0, 0.45)
    }

    background: Rectangle {
        color: sheet.backgroundColor
        radius: 12
        // Only the top corners are rounded.
        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: parent.radius
            color: parent.color
        }
    }
}
