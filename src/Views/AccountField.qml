import QtQuick
import QtQuick.Controls
import Melodrift

// The input row of the account forms: a symbol and a text field on a rounded, faintly lit row.
//     AccountField { symbol: "person"; placeholder: "نام کاربری"; text: model.username
//                    onEdited: value => model.username = value; onSubmitted: model.submit() }
// A secure row hides what is typed and is announced as a password field. The row draws an accent
// border while its field has the keyboard focus.
Item {
    id: row

    property string symbol
    property string placeholder
    property string text
    property bool secure: false
    // Text-input traits: no automatic capitalisation, no correction, no prediction.
    property bool plain: false
    // The text field that takes the keyboard (the password field on a secure row).
    readonly property Item input: row.secure ? secureLoader.item : field

    signal edited(string value)
    // Enter in the field.
    signal submitted()

    implicitWidth: 300
    implicitHeight: Math.max(field.implicitHeight, 22) + 26

    Rectangle {
        anchors.fill: parent
        radius: 14
        color: Qt.rgba(1, 1, 1, 0.06)
        border.width: row.input && row.input.activeFocus ? 1.5 : 0.5
        border.color: row.input && row.input.activeFocus ? Theme.accent : Qt.rgba(1, 1, 1, 0.10)
    }

    SymbolImage {
        id: icon
        anchors.left: parent.left
        anchors.leftMargin: 14
        anchors.verticalCenter: parent.verticalCenter
        width: 22
        symbol: row.symbol
        size: 17
        color: Qt.rgba(1, 1, 1, 0.45)
    }

    Text {
        textFormat: Text.PlainText
        anchors.fill: field
        visible: !row.secure && field.text === "" && !field.inputMethodComposing
        text: row.placeholder
        font: Theme.body
        color: Qt.rgba(1, 1, 1, 0.3)
        elide: Text.ElideRight
        horizontalAlignment: Text.AlignLeft
        verticalAlignment: Text.AlignVCenter
        Accessible.ignored: true
    }

    TextInput {
        id: field
        visible: !row.secure
        anchors.left: icon.right
        anchors.leftMargin: 10
        anchors.right: parent.right
        anchors.rightMargin: 14
        anchors.verticalCenter: parent.verticalCenter
        clip: true
        activeFocusOnTab: true
        selectByMouse: true
        font: Theme.body
        color: Theme.label
        selectionColor: Theme.accent
        horizontalAlignment: TextInput.AlignLeft
        inputMethodHints: row.plain ? (Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText) : Qt.ImhNone
        text: row.secure ? "" : row.text
        // Any change: typing, pasting, or assistive technology setting the text.
        onTextChanged: if (!row.secure) row.edited(text)
        onAccepted: row.submitted()
        Accessible.role: Accessible.EditableText
        Accessible.name: row.placeholder
        Accessible.description: row.placeholder
        Accessible.ignored: !visible
    }

    // A secure row: the kit's password field, which only ever holds the mask.
    Loader {
        id: secureLoader
        active: row.secure
        anchors.fill: field
        sourceComponent: SecureField {
            padding: 0
            background: null
            color: Theme.label
            placeholderText: row.placeholder
            placeholderTextColor: Qt.rgba(1, 1, 1, 0.3)
            passwordCharacter: "\u2022"
            selectionColor: Theme.accent
            horizontalAlignment: TextInput.AlignLeft
            password: row.text
            onPasswordChanged: row.edited(password)
            onAccepted: row.submitted()
        }
    }
}
