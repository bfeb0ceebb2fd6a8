import QtQuick
import QtQuick.Controls
import Melodrift

// The save-as dialog, inside the window and above every sheet and popup: the name of the new file
// (kept while the listener moves between folders; the kind's suffix is added when it is left
// out), the folder it goes into with its subfolders and files of that kind, and "ذخیره". Enter in
// the name field or on "ذخیره" saves; Escape or "انصراف" cancels; a name taken asks before
// replacing. `accepted(file)` hands over where to save; the caller writes the file.
//     SaveFileDialog { id: saveDialog; suffix: ".mp4"; onAccepted: file => model.saveCopy(file) }
//     saveDialog.openAt(startFolder, "story.mp4", byKeyboard)
DialogFrame {
    id: dialog

    title: "ذخیره به نام…"
    // The folder it saves into, read as it opens.
    description: "پوشه: " + chooser.folder
    property alias suffix: chooser.suffix
    // The dialog's model (tests and live checks read it).
    readonly property alias chooser: chooser

    signal accepted(url file)

    function openAt(folder, fileName, byKeyboard) {
        chooser.folder = folder
        chooser.fileName = fileName
        openedByKeyboard = byKeyboard === true
        open()
    }
    function accept() {
        if (chooser.targetFile.toString() === "")
            return
        if (chooser.targetExists()) {
            replaceConfirmation.open()
            return
        }
        finish()
    }
    function finish() {
        chosen = true
        const file = chooser.targetFile
        close()
        accepted(file)
    }

    SaveFileDialogModel { id: chooser }

    // Above the sheets (z 1) and the popups opened over them (z 2).
    z: 3
    width: Math.min(440, parent ? parent.width - 32 : 440)
    height: Math.min(560, parent ? parent.height - 48 : 560)

    onOpened: {
        nameField.forceActiveFocus(dialog.focusReason)
        // The name without its suffix is selected, ready to be typed over.
        const name = nameField.text
        const end = name.toLowerCase().endsWith(chooser.suffix.toLowerCase()) ? name.length - chooser.suffix.length
                                                                               : name.length
        nameField.select(0, end)
    }
    contentItem: Item {
        LayoutMirroring.enabled: true
        LayoutMirroring.childrenInherit: true

        Column {
            id: top
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            padding: 16
            spacing: 10

            StaticText {
                objectName: "dialogTitle"
                width: parent.width - 32
                text: dialog.title
                font: Theme.withWeight(Theme.headline, Font.DemiBold)
                color: Theme.label
                horizontalAlignment: Text.AlignHCenter
            }
            PlainTextField {
                id: nameField
                objectName: "nameField"
                width: parent.width - 32
                placeholderText: "نام فایل"
                text: chooser.fileName
                onTextEdited: chooser.fileName = text
                onAccepted: dialog.accept()
            }
            StaticText {
                objectName: "nameProblem"
                width: parent.width - 32
                visible: text !== ""
                text: chooser.nameProblem
                font: Theme.caption
                color: Theme.red
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignLeft
            }
            // Where it goes: the folder's name (reached with Tab, as the listener needs to know
            // it), the way up and home.
            Item {
                width: parent.width - 32
                height: 36
                StaticText {
                    objectName: "folderName"
                    activeFocusOnTab: true
                    FocusRing {}
                    anchors.right: parent.right
                    anchors.left: buttons.right
                    anchors.leftMargin: 8
                    anchors.verticalCenter: parent.verticalCenter
                    text: chooser.folderName
                    font: Theme.withWeight(Theme.subheadline, Font.DemiBold)
                    color: Theme.label
                    elide: Text.ElideMiddle
                    horizontalAlignment: Text.AlignLeft
                    Accessible.name: "پوشه: " + chooser.folder
                }
                Row {
                    id: buttons
                    anchors.left: parent.left
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 6
                    PlainButton {
                        objectName: "homeButton"
                        width: 36
                        height: 36
                        symbol: "house"
                        symbolSize: 20
                        Accessible.name: "پوشهٔ خانه"
                        onClicked: chooser.goHome()
                    }
                    PlainButton {
                        objectName: "upButton"
                        width: 36
                        height: 36
                        enabled: chooser.canGoUp
                        symbol: "arrow.up"
                        symbolSize: 20
                        Accessible.name: "پوشهٔ بالاتر"
                        onClicked: chooser.goUp()
                    }
                }
            }
        }

        Rectangle {
            anchors.fill: entries
            color: Qt.rgba(0, 0, 0, 0.2)
        }
        LazyListView {
            id: entries
            objectName: "folderEntries"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: top.bottom
            anchors.bottom: footer.top
            model: chooser
            delegate: FocusScope {
                id: row
                required property int index
                required property string name
                required property bool isFolder
                width: ListView.view.width
                height: 40
                PlainButton {
                    objectName: "entryButton"
                    anchors.fill: parent
                    // It fills its row of a clipped list: the ring inside its edges, whole.
                    focusRing.gap: -2
                    focusRing.horizontalGap: -2
                    leftPadding: 16
                    rightPadding: 16
                    text: row.name
                    Accessible.name: (row.isFolder ? "پوشهٔ " : "") + row.name
                    contentItem: Item {
                        SymbolImage {
                            id: icon
                            anchors.left: parent.left
                            anchors.verticalCenter: parent.verticalCenter
                            symbol: row.isFolder ? "folder" : "film"
                            size: 18
                            color: row.isFolder ? Theme.label : Theme.secondaryLabel
                        }
                        Text {
                            textFormat: Text.PlainText
                            anchors.left: icon.right
                            anchors.leftMargin: 10
                            anchors.right: parent.right
                            anchors.verticalCenter: parent.verticalCenter
                            text: row.name
                            font: Theme.body
                            color: icon.color
                            elide: Text.ElideRight
                            horizontalAlignment: Text.AlignLeft
                        }
                    }
                    onClicked: chooser.choose(row.index)
                }
            }
            StaticText {
                anchors.centerIn: parent
                width: parent.width - 32
                visible: !chooser.loading && entries.count === 0
                text: chooser.folderProblem !== "" ? chooser.folderProblem : "این پوشه خالی است"
                font: Theme.footnote
                color: Theme.secondaryLabel
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
            }
        }

        Column {
            id: footer
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            DialogChoices {
                acceptText: "ذخیره"
                acceptEnabled: chooser.targetFile.toString() !== ""
                onCancel: dialog.close()
                onAccept: dialog.accept()
            }
        }
    }

    ConfirmationDialog {
        id: replaceConfirmation
        // Above this dialog.
        z: 4
        // The name isolated, so that a left-to-right one keeps its order in the line.
        title: "«\u2066" + chooser.targetName + "\u2069» از پیش هست"
        message: "فایل تازه جای آن را می‌گیرد."
        destructiveText: "جایگزینی"
        onConfirmed: dialog.finish()
        onClosed: {
            if (dialog.visible)
                nameField.forceActiveFocus()
        }
    }
}
