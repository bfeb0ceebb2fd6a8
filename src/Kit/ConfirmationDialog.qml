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
DialogFrame {
    id: dialog

    property string destructiveText: "حذف"
    property string cancelText: "انصراف"

    signal confirmed()

    width: Math.min(320, parent ? parent.width - 48 : 320)
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside

    onOpened: cancelButton.forceActiveFocus(dialog.focusReason)

    contentItem: Column {
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

            DialogText {
                objectName: "dialogTitle"
                width: parent.width - 32
                text: dialog.title
                font: Theme.withWeight(Theme.footnote, Font.DemiBold)
            }
            DialogText {
                objectName: "dialogMessage"
                width: parent.width - 32
                text: dialog.message
            }
        }
        Rectangle { width: parent.width; height: 1; color: Theme.separator }
        DialogButton {
            objectName: "destructiveButton"
            width: parent.width
            topPadding: 13
            bottomPadding: 13
            text: dialog.destructiveText
            color: Theme.red
            font: Theme.body
            onClicked: {
                dialog.chosen = true
                dialog.confirmed()
                dialog.close()
            }
        }
        Rectangle { width: parent.width; height: 1; color: Theme.separator }
        DialogButton {
            id: cancelButton
            objectName: "cancelButton"
            width: parent.width
            topPadding: 13
            bottomPadding: 13
            text: dialog.cancelText
            font: Theme.withWeight(Theme.body, Font.DemiBold)
            onClicked: dialog.close()
        }
    }
}
