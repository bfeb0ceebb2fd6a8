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
    readonly property alias input: field

    signal edited(string value)
    // Enter in the field.
    signal submitted()

    implicitWidth: 300
    implicitHeight: Math.max(field.implicitHeight, 22) + 26

    Rectangle {
        anchors.fill: parent
        radius: 14
        color: Qt.rgba(1, 1, 1, 0.06)
        border.width: field.activeFocus ? 1.5 : 0.5
        border.color: field.activeFocus ? Theme.accent : Qt.rgba(1, 1, 1, 0.10)
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
        anchors.fill: field
        visible: field.text === "" && !field.inputMethodComposing
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
        echoMode: row.secure ? TextInput.Password : TextInput.Normal
        passwordCharacter: "\u2022"
        inputMethodHints: row.secure ? (Qt.ImhHiddenText | Qt.ImhSensitiveData | Qt.ImhNoPredictiveText)
                                     : (row.plain ? (Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText) : Qt.ImhNone)
        text: row.text
        // Any change: typing, pasting, or assistive technology setting the text.
        onTextChanged: row.edited(text)
        onAccepted: row.submitted()
        // A password field gets its interface from PasswordAccessibility; any other role than an
        // editable text's keeps Qt's own text-change events (which carry the text) from going out.
        Accessible.role: row.secure ? Accessible.Client : Accessible.EditableText
        Accessible.name: row.placeholder

        PasswordAccessibility {
            target: row.secure ? field : null
            name: row.placeholder
        }
    }
}
