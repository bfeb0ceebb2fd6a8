import QtQuick
import QtQuick.Controls
import Melodrift

// What every dialog of the kit is: a modal popup centred over the dimmed window, on a rounded card,
// laid out right to left, named by its `title` and described by its `description` for assistive
// technology (what lies under it is not exposed while it is open). Shown while the presenter's flag is true, when it has one, and
// closing it in any way writes false back (see Presentation.qml for presenter and flag); else
// opened with open(). Any way out but the dialog's own choice (its accepting button, which sets
// `chosen`) emits `cancelled`. The content is the dialog's `contentItem`:
//     DialogFrame { id: dialog; title: "حذف؟"; contentItem: Column { DialogTitle { frame: dialog } ... } }
Popup {
    id: dialog

    property QtObject presenter
    property string flag
    property string title
    property string message
    // What a screen reader says after the title as it opens: what the dialog acts on (the track a
    // deletion removes), by default its message.
    property string description: message

    // Set by the dialog's own choice before it closes: closing without it is a cancel.
    property bool chosen: false
    // Asked for from the keyboard (Delete on a row, a menu chosen with Enter): the focus shows.
    property bool openedByKeyboard: false
    readonly property int focusReason: openedByKeyboard ? Qt.TabFocusReason : Qt.OtherFocusReason

    signal cancelled()

    readonly property bool requested: presenter !== null && flag !== "" && Boolean(presenter[flag])

    // While it is open, what lies under it is not exposed to assistive technology.
    readonly property ModalCover modalCover: ModalCover {
        active: dialog.visible
        content: dialog.contentItem
    }
    // Its title names it for assistive technology.
    readonly property NodeName nodeName: NodeName {
        target: dialog.contentItem ? dialog.contentItem.parent : null
        name: dialog.title
        description: dialog.description
    }

    parent: Overlay.overlay
    anchors.centerIn: parent
    modal: true
    dim: true
    focus: true
    padding: 0
    closePolicy: Popup.CloseOnEscape

    onRequestedChanged: sync()
    Component.onCompleted: sync()
    function sync() {
        if (requested && !visible)
            open()
        else if (!requested && visible)
            close()
    }
    onAboutToShow: {
        chosen = false
        if (presenter !== null)
            openedByKeyboard = FocusLanding.keyboardFocused(dialog.parent)
    }
    onAboutToHide: {
        if (!chosen)
            cancelled()
        if (requested)
            presenter[flag] = false
    }

    Overlay.modal: Rectangle {
        color: Qt.rgba(0, 0, 0, 0.45)
    }
    background: Rectangle {
        radius: 14
        color: Theme.tertiaryBackground
    }
}
