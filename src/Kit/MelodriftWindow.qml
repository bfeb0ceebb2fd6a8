import QtQuick
import QtQuick.Controls
import Melodrift

// The root of every window: right to left (LayoutMirroring, which the application's layout
// direction alone does not give), the dark scheme with the accent as tint, the application font
// and background. Popups (sheets, the cover, menus) take the window's palette and font. It holds
// the window's notification node, through which every Announcer speaks (Announcements.h), and
// F6 and Shift+F6 move the focus from one of its regions to the next (FocusRegions.h).
ApplicationWindow {
    id: window

    color: Theme.background
    font: Theme.body

    LayoutMirroring.enabled: true
    LayoutMirroring.childrenInherit: true

    palette.window: Theme.secondaryBackground
    palette.windowText: Theme.label
    palette.base: Theme.secondaryBackground
    palette.alternateBase: Theme.tertiaryBackground
    palette.text: Theme.label
    palette.button: Theme.tertiaryBackground
    palette.buttonText: Theme.label
    palette.brightText: Theme.label
    palette.highlight: Theme.accent
    palette.highlightedText: Theme.label
    palette.light: Theme.tertiaryBackground
    palette.midlight: Theme.tertiaryBackground
    palette.mid: Theme.separator
    palette.dark: Theme.background
    palette.shadow: "black"
    palette.toolTipBase: Theme.tertiaryBackground
    palette.toolTipText: Theme.label
    palette.placeholderText: Theme.tertiaryLabel
    palette.link: Theme.accent

    Shortcut {
        sequence: "F6"
        onActivated: FocusRegions.cycle(window.contentItem, true)
    }
    Shortcut {
        sequence: "Shift+F6"
        onActivated: FocusRegions.cycle(window.contentItem, false)
    }

    // The window's notification node: shown anew with each message, a reader speaks it.
    Item {
        id: announcements
        objectName: "announcements"
        property string message
        width: 1
        height: 1
        visible: false
        Accessible.role: Accessible.Notification
        Accessible.name: message
        Component.onCompleted: Announcements.addChannel(announcements)
    }
}
