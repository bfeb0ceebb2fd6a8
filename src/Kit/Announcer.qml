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
// It draws nothing and has no node of its own: its window's notification node speaks for it
// (Announcements.h), which also keeps it quiet while what it belongs to lies under a sheet, and
// when another screen has just said the same.
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

    width: 0
    height: 0
    visible: false
    Accessible.ignored: true

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
            if (!root.cleared)
                Announcements.withdraw(root)
            root.cleared = true
            return
        }
        if (message === root.announced && !root.cleared)
            return
        root.cleared = false
        root.announced = message
        Announcements.announce(root, message)
    }
    Component.onCompleted: {
        root.announced = root.text
        root.started = true
    }
}
