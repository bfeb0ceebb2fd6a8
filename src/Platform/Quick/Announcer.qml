import QtQuick
import Melodrift

// Tells assistive technology about a status change that a sighted user sees happen (connecting,
// playing, an error): each new non-empty `text` is exposed as a notification that appears, which a
// screen reader speaks without moving the keyboard focus. It draws nothing.
//     Announcer { text: home.statusLabel }
// The value the item starts with is not announced; only changes are.
Item {
    id: root

    property string text
    // The text exposed; it appears anew for each announcement.
    property string announced
    property bool started: false

    width: 1
    height: 1
    visible: false

    Accessible.role: Accessible.Notification
    Accessible.name: root.announced
    Accessible.ignored: !root.visible

    onTextChanged: {
        if (!root.started || root.text === "" || root.text === root.announced)
            return
        // Hide, then show with the new text: the appearance is the announcement.
        root.visible = false
        root.announced = root.text
        Qt.callLater(root.reveal)
    }
    function reveal() {
        root.visible = root.announced !== ""
    }
    Component.onCompleted: {
        root.announced = root.text
        root.started = true
    }
}
