import QtQuick
import Melodrift

// The foot of a dialog that asks for something: a line, then "انصراف" and the accepting button
// side by side.
//     DialogChoices { acceptText: "ذخیره"; onCancel: dialog.close(); onAccept: dialog.accept() }
Column {
    id: choices

    property string cancelText: "انصراف"
    property string acceptText: "ذخیره"
    property bool acceptEnabled: true
    readonly property alias acceptButton: acceptButton

    signal cancel()
    signal accept()

    width: parent ? parent.width : 0

    Rectangle { width: parent.width; height: 1; color: Theme.separator }
    Row {
        width: parent.width
        height: 46

        DialogButton {
            objectName: "cancelButton"
            width: (parent.width - 1) / 2
            height: parent.height
            text: choices.cancelText
            onClicked: choices.cancel()
        }
        Rectangle { width: 1; height: parent.height; color: Theme.separator }
        DialogButton {
            id: acceptButton
            objectName: "acceptButton"
            width: (parent.width - 1) / 2
            height: parent.height
            enabled: choices.acceptEnabled
            text: choices.acceptText
            font: Theme.withWeight(Theme.body, Font.DemiBold)
            onClicked: choices.accept()
        }
    }
}
