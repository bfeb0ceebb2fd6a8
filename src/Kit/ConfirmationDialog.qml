import QtQuick
import QtQuick.Controls
import Melodrift

// A confirmation for a destructive action: its title, a message, the destructive button and the
// cancel button, over the dimmed window. Shown while the presenter's flag is true; closing it in
// any way writes false back (see Presentation.qml for presenter and flag).
//     ConfirmationDialog {
//         presenter: model; flag: "showDeleteConfirm"
//         title: "حذف پلیلیست؟"; message: "این عمل قابل بازگشت نیست."
//         destructiveText: "حذف"
//         onConfirmed: model.deletePlaylist()
//     }
// The cancel button holds the focus when it opens, so Enter or Space alone never destroys
// anything. `confirmed` is emitted before the dialog closes; any other way out (the cancel
// button, Escape, a press outside) emits `cancelled`.
Popup {
    id: dialog

    property QtObject presenter
    property string flag
    property string title
    property string message
    property string destructiveText: "حذف"
    property string cancelText: "انصراف"

    signal confirmed()
    signal cancelled()

    readonly property bool requested: presenter !== null && flag !== "" && Boolean(presenter[flag])
    property bool chosen: false
    // Asked for from the keyboard (Delete on a row, a menu chosen with Enter): the focus shows.
    property bool openedByKeyboard: false

    // While it is open, what lies under it is not exposed to assistive technology.
    readonly property ModalCover modalCover: ModalCover {
        active: dialog.visible
        content: dialog.contentItem
    }
    // Its title names it for assistive technology.
    readonly property NodeName nodeName: NodeName {
        target: dialog.contentItem ? dialog.contentItem.parent : null
        name: dialog.title
    }

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(320, parent ? parent.width - 48 : 320)
    modal: true
    dim: true
    focus: true
    padding: 0
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside

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
        openedByKeyboard = FocusLanding.keyboardFocused(dialog.parent)
    }
    onOpened: cancelButton.forceActiveFocus(openedByKeyboard ? Qt.TabFocusReason : Qt.OtherFocusReason)
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

    contentItem: Column {
        Accessible.role: Accessible.Dialog
        Accessible.name: dialog.title
        LayoutMirroring.enabled: true
        LayoutMirroring.childrenInherit: true
        spacing: 0

        Column {
            width: parent.width
            topPadding: 16
            bottomPadding: 16
            leftPadding: 16
            rightPadding: 16
            spacing: 6

            StaticText {
                objectName: "dialogTitle"
                width: parent.width - 32
                visible: text !== ""
                text: dialog.title
                font: Theme.withWeight(Theme.footnote, Font.DemiBold)
                color: Theme.secondaryLabel
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
            }
            StaticText {
                objectName: "dialogMessage"
                width: parent.width - 32
                visible: text !== ""
                text: dialog.message
                font: Theme.footnote
                color: Theme.secondaryLabel
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
            }
        }
        Rectangle { width: parent.width; height: 1; color: Theme.separator }
        PlainButton {
            objectName: "destructiveButton"
            // It runs to the dialog's edges: the ring inside its own.
            focusRing.gap: -4
            focusRing.horizontalGap: -4
            width: parent.width
            topPadding: 13
            bottomPadding: 13
            text: dialog.destructiveText
            color: Theme.red
            font: Theme.body
            Accessible.name: text
            contentItem: Text {
                textFormat: Text.PlainText
                text: parent.text
                font: parent.font
                color: parent.color
                horizontalAlignment: Text.AlignHCenter
            }
            onClicked: {
                dialog.chosen = true
                dialog.confirmed()
                dialog.close()
            }
        }
        Rectangle { width: parent.width; height: 1; color: Theme.separator }
        PlainButton {
            id: cancelButton
            objectName: "cancelButton"
            // It runs to the dialog's edges: the ring inside its own.
            focusRing.gap: -4
            focusRing.horizontalGap: -4
            width: parent.width
            topPadding: 13
            bottomPadding: 13
            text: dialog.cancelText
            font: Theme.withWeight(Theme.body, Font.DemiBold)
            color: Theme.accent
            Accessible.name: text
            contentItem: Text {
                textFormat: Text.PlainText
                text: parent.text
                font: parent.font
                color: parent.color
                horizontalAlignment: Text.AlignHCenter
            }
            onClicked: dialog.close()
        }
    }
}
