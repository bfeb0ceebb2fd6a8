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
DialogFrame {
    id: dialog

    property string acceptText: "ذخیره"
    property string cancelText: "انصراف"
    default property alias fields: fieldColumn.data

    signal accepted()

    function accept() {
        chosen = true
        accepted()
        close()
    }

    width: Math.min(340, parent ? parent.width - 48 : 340)

    Component.onCompleted: {
        // Enter in a field accepts.
        for (let i = 0; i < fieldColumn.children.length; ++i) {
            const field = fieldColumn.children[i]
            if (field.accepted !== undefined && typeof field.accepted.connect === "function")
                field.accepted.connect(dialog.accept)
        }
    }
    onOpened: {
        for (let i = 0; i < fieldColumn.children.length; ++i) {
            const field = fieldColumn.children[i]
            if (field.visible && field.activeFocusOnTab) {
                field.forceActiveFocus(dialog.focusReason)
                return
            }
        }
        choices.acceptButton.forceActiveFocus(dialog.focusReason)
    }

    contentItem: Column {
        LayoutMirroring.enabled: true
        LayoutMirroring.childrenInherit: true
        spacing: 0

        Column {
            width: parent.width
            padding: 16
            spacing: 8

            DialogText {
                objectName: "dialogTitle"
                width: parent.width - 32
                text: dialog.title
                font: Theme.withWeight(Theme.headline, Font.DemiBold)
                color: Theme.label
            }
            DialogText {
                objectName: "dialogMessage"
                width: parent.width - 32
                text: dialog.message
            }
            Column {
                id: fieldColumn
                width: parent.width - 32
                spacing: 8
                topPadding: 4
            }
        }
        DialogChoices {
            id: choices
            cancelText: dialog.cancelText
            acceptText: dialog.acceptText
            onCancel: dialog.close()
            onAccept: dialog.accept()
        }
    }
}
