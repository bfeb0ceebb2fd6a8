import QtQuick
import QtQuick.Controls
import Melodrift

// The full-screen cover: declared once, at the window's root, and covering the whole window:
//     FullScreenCover { presenter: RadioPlayer; flag: "isFullPlayerPresented"; FullPlayerView {} }
// It closes on Escape and when the content emits `dismissRequested()`, writing false back to the
// flag (see Presentation.qml). Sheets opened from its content stand above it.
Presentation {
    id: cover

    z: 0
    x: 0
    y: offset
    width: parent ? parent.width : 0
    height: parent ? parent.height : 0
    dim: false
    closePolicy: Popup.CloseOnEscape

    enter: Transition {
        NumberAnimation { property: "offset"; from: cover.height; to: 0; duration: 380; easing.type: Easing.OutCubic }
    }
    exit: Transition {
        NumberAnimation { property: "offset"; from: 0; to: cover.height; duration: 300; easing.type: Easing.InCubic }
    }

    background: Rectangle {
        color: cover.backgroundColor
    }
}
