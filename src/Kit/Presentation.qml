import QtQuick
import QtQuick.Controls
import Melodrift

// What Sheet and FullScreenCover share: a modal popup at window level, shown while a Bool flag of
// its presenter is true.
//   - `presenter` is any object with a writable bool property (a screen model, a store singleton,
//     a QML item) and `flag` names that property.
//   - The popup opens when the flag turns true and closes when it turns false. When it closes by
//     itself (Escape, a tap outside a sheet, the content emitting `dismissRequested()`), it writes
//     false back to the flag at once.
//   - The content, declared as the only child, is built when the popup opens and destroyed once it
//     has closed: every opening starts from a fresh screen, and a closed one holds no state.
//   - Or the content is named by its file, `source: "qrc:/Melodrift/ShazamView.qml"`: its files
//     are then read only when it first opens, not while the window that declares it is made.
//   - The content is laid out right to left, like the window.
//   - Once open, the keyboard focus is on the content's first control (FocusLanding), unless the
//     content gave it to one of its controls itself. Once closed, it goes back to the control it
//     was opened from, or, when that is gone, to the first control of what the popup covered.
//   - While it is open and nothing stands above it, the focus stays inside it: when it would rest
//     outside every popup (the window's root, a control under it), it comes back to the content,
//     so Escape closes it whatever held the focus.
//   - `title` names the popup's node for assistive technology (what a screen reader says as it
//     opens); by default it is the shown screen's `navigationTitle`, and its `navigationSummary`
//     describes it.
//   - F6 moves between the regions inside it (FocusRegions.h).
Popup {
    id: presentation

    property QtObject presenter
    property string flag
    default property Component content
    property url source
    property color backgroundColor: Theme.background

    readonly property bool requested: presenter !== null && flag !== "" && Boolean(presenter[flag])
    // The screen built from `content` while shown, else null.
    readonly property Item contentScreen: loader.item
    property string title: contentScreen && typeof contentScreen.navigationTitle === "string"
                           ? contentScreen.navigationTitle : ""
    // Read after the title as it opens: the shown screen's `navigationSummary`.
    property string summary: contentScreen && typeof contentScreen.navigationSummary === "string"
                             ? contentScreen.navigationSummary : ""

    // Emitted once the popup has closed, however it was closed.
    signal dismissed()

    // Distance the popup is slid down from its place; the transitions animate it.
    property real offset: 0

    // While it is open, what lies under it is not exposed to assistive technology.
    readonly property ModalCover modalCover: ModalCover {
        active: presentation.visible
        content: presentation.contentItem
    }
    readonly property NodeName nodeName: NodeName {
        target: presentation.contentItem ? presentation.contentItem.parent : null
        name: presentation.title
        description: presentation.summary
    }

    parent: Overlay.overlay
    padding: 0
    modal: true
    focus: true

    // (The window's F6 does not reach inside a modal popup.)
    Shortcut {
        sequence: "F6"
        enabled: presentation.visible
        onActivated: FocusRegions.cycle(presentation.contentItem, true)
    }
    Shortcut {
        sequence: "Shift+F6"
        enabled: presentation.visible
        onActivated: FocusRegions.cycle(presentation.contentItem, false)
    }

    onRequestedChanged: sync()
    Component.onCompleted: sync()

    function sync() {
        if (requested && !visible)
            Qt.callLater(presentation.openIfRequested)
        else if (!requested && visible)
            close()
    }
    function returnFocus() {
        if (!visible)
            FocusLanding.returnTo(opener, presentation, openedByKeyboard, restoredFocus)
        opener = null
        restoredFocus = null
    }
    // Where the focus fell as the popup closed: no one's choice.
    property Item restoredFocus: null
    function openIfRequested() {
        if (requested && !visible && parent)
            open()
    }

    // Opened from the keyboard: the focus shows where it lands.
    property bool openedByKeyboard: false
    // The control that had the focus as it opened.
    property Item opener: null
    onAboutToShow: {
        openedByKeyboard = FocusLanding.keyboardFocused(presentation.parent)
        opener = FocusLanding.focusedItem(presentation.parent)
    }
    onOpened: {
        if (loader.item)
            FocusLanding.enter(loader.item, openedByKeyboard)
    }

    onAboutToHide: {
        if (requested)
            presenter[flag] = false
    }
    onClosed: {
        restoredFocus = FocusLanding.focusedItem(presentation.parent)
        dismissed()
        // After what the closing set off (a screen's own choice of focus, another popup opening).
        Qt.callLater(presentation.returnFocus)
        // Asked for again while closing: show it anew.
        if (requested)
            Qt.callLater(presentation.openIfRequested)
    }

    // The focus left every popup while this one is open on top: bring it back.
    function keepFocus() {
        const overlay = presentation.parent
        const own = presentation.contentItem ? presentation.contentItem.parent : null
        if (!presentation.opened || !overlay || !own || !overlay.Window.window)
            return
        for (let it = overlay.Window.activeFocusItem; it; it = it.parent) {
            if (it.parent === overlay)
                return
        }
        const stacked = overlay.children
        for (let i = 0; i < stacked.length; ++i) {
            const other = stacked[i]
            if (other !== own && other.visible && other.children.length > 0 && other.z > own.z)
                return
        }
        if (!loader.item || !FocusLanding.enter(loader.item, false))
            presentation.contentItem.forceActiveFocus()
    }
    FocusWatch {
        item: presentation.parent
        active: presentation.opened
        onSettled: presentation.keepFocus()
    }
    onOpenedChanged: {
        if (opened)
            Qt.callLater(presentation.keepFocus)
    }

    contentItem: Item {
        LayoutMirroring.enabled: true
        LayoutMirroring.childrenInherit: true
        clip: true

        Loader {
            id: loader
            anchors.fill: parent
            active: presentation.visible
            Component.onCompleted: {
                if (presentation.source.toString() !== "")
                    source = presentation.source
                else
                    sourceComponent = presentation.content
            }
            onLoaded: {
                if (typeof item.dismissRequested === "function")
                    item.dismissRequested.connect(presentation.close)
            }
        }
    }
}
