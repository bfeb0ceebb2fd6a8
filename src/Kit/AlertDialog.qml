import QtQuick
import QtQuick.Controls
import Melodrift

// An alert that asks for a few values: its title, an optional message, the text fields declared
// as its children, the cancel button and the accepting button. Shown while the presenter's flag is
// true; closing it in any way writes false back.
//     AlertDialog {
//         presenter: model; flag: "showEditSheet"
//         title: "ویرایش پلیلیست"; acceptText: "ذخیره"
//         onAccepted: model.saveEdit()
//         PlainTextField { placeholderText: "نام پلیلیست"; text: model.editTitle; onTextEdited: model.editTitle = text }
//     }
// The first field takes the focus when it opens; Enter in a field accepts, Escape cancels.
Popup {
    id: dialog

    property QtObject presenter
    property string flag
    property string title
    property string message
    property string acceptText: "ذخیره"
    property string cancelText: "انصراف"
    default property alias fields: fieldColumn.data

    signal accepted()
    signal cancelled()

    readonly property bool requested: presenter !== null && flag !== "" && Boolean(presenter[flag])
    property bool chosen: false

    function accept() {
        chosen = true
        accepted()
        close()
    }

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(340, parent ? parent.width - 48 : 340)
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

    modal: true
    dim: true
    focus: true
    padding: 0
    closePolicy: Popup.CloseOnEscape

    onRequestedChanged: sync()
    Component.onCompleted: {
        // Enter in a field accepts.
        for (let i = 0; i < fieldColumn.children.length; ++i) {
            const field = fieldColumn.children[i]
            if (field.accepted !== undefined && typeof field.accepted.connect === "function")
                field.accepted.connect(dialog.accept)
        }
        sync()
    }
    function sync() {
        if (requested && !visible)
            open()
        else if (!requested && visible)
            close()
    }
    // Asked for from the keyboard: the focus shows.
    property bool openedByKeyboard: false
    onAboutToShow: {
        chosen = false
        openedByKeyboard = FocusLanding.keyboardFocused(dialog.parent)
    }
    onOpened: {
        const reason = openedByKeyboard ? Qt.TabFocusReason : Qt.OtherFocusReason
        for (let i = 0; i < fieldColumn.children.length; ++i) {
            const field = fieldColumn.children[i]
            if (field.visible && field.activeFocusOnTab) {
                field.forceActiveFocus(reason)
                return
            }
        }
        acceptButton.forceActiveFocus(reason)
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

    contentItem: Column {
        Accessible.role: Accessible.Dialog
        Accessible.name: dialog.title
        LayoutMirroring.enabled: true
        LayoutMirroring.childrenInherit: true
        spacing: 0

        Column {
            width: parent.width
            padding: 16
            spacing: 8

            StaticText {
                objectName: "dialogTitle"
                width: parent.width - 32
                text: dialog.title
                font: Theme.withWeight(Theme.headline, Font.DemiBold)
                color: Theme.label
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
            Column {
                id: fieldColumn
                width: parent.width - 32
                spacing: 8
                topPadding: 4
            }
        }
        Rectangle { width: parent.width; height: 1; color: Theme.separator }
        Row {
            width: parent.width
            height: 46

            PlainButton {
                objectName: "cancelButton"
                // It runs to the dialog's edges: the ring inside its own.
                focusRing.gap: -4
                focusRing.horizontalGap: -4
                width: (parent.width - 1) / 2
                height: parent.height
                text: dialog.cancelText
                color: Theme.accent
                Accessible.name: text
                contentItem: Text {
                    textFormat: Text.PlainText
                    text: parent.text
                    font: parent.font
                    color: parent.color
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
                onClicked: dialog.close()
            }
            Rectangle { width: 1; height: parent.height; color: Theme.separator }
            PlainButton {
                id: acceptButton
                objectName: "acceptButton"
                // It runs to the dialog's edges: the ring inside its own.
                focusRing.gap: -4
                focusRing.horizontalGap: -4
                width: (parent.width - 1) / 2
                height: parent.height
                text: dialog.acceptText
                font: Theme.withWeight(Theme.body, Font.DemiBold)
                color: Theme.accent
                Accessible.name: text
                contentItem: Text {
                    textFormat: Text.PlainText
                    text: parent.text
                    font: parent.font
                    color: parent.color
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
                onClicked: dialog.accept()
            }
        }
    }
}
