import QtQuick
import Melodrift

// Tells assistive technology about a status change that a sighted user sees happen (connecting,
// playing, an error): each message is exposed as a notification that appears, which a screen
// reader speaks without moving the keyboard focus. It draws nothing.
//     Announcer { text: home.statusLabel }
// The value the item starts with is not announced; each change to a non-empty text is, and so is
// the same text again once it was cleared in between (a second refusal of the same request).
// What counts is the text at the end of each pass of the event loop, what a sighted user can
// see: a status that flickers within one (playing, nothing, playing) says nothing new.
//
// Over AT-SPI a node's name change alone is not spoken; its appearance is: the bridge sends a
// "showing" state change each time the item is hidden and shown, so every announcement hides the
// node, gives it the new name and shows it again. Between announcements it stays shown with the
// last message (hidden once the text is cleared), as a screen reader reviewing the window
// expects to find it.
Item {
    id: root

    property string text
    // The text exposed: the last one announced.
    property string announced
    // The text was empty since the last announcement: the same text again is a new message.
    property bool cleared: false
    property bool started: false
    // A change waits for the end of the pass.
    property bool pending: false

    width: 1
    height: 1
    visible: false

    Accessible.role: Accessible.Notification
    Accessible.name: root.announced
    // Out of its window (a screen being taken down is first unparented, which shows all of it
    // for a moment) it says nothing.
    Accessible.ignored: root.Window.window === null

    onTextChanged: {
        if (!root.started)
            return
        root.pending = true
        Qt.callLater(root.settle)
    }
    function settle() {
        root.pending = false
        const message = root.text
        if (message === "") {
            root.cleared = true
            root.visible = false
            return
        }
        if (message === root.announced && !root.cleared && root.visible)
            return
        root.cleared = false
        root.visible = false
        root.announced = message
        root.visible = true
    }
    Component.onCompleted: {
        root.announced = root.text
        root.started = true
    }
}
