import QtQuick
import QtQuick.Controls
import Melodrift

// A password field that never hands the password to assistive technology. It is exposed as a
// password edit described by its `placeholderText`, and its own text only
// ever holds the mask, one "•" per character: a stock field in this Qt exposes the typed
// password as its value and in its text-change events. Read the password from `password`:
//     SecureField { id: pass; placeholderText: "رمز عبور"; onAccepted: model.signIn(user.text, pass.password) }
// Typing, Backspace/Delete (with Ctrl: to the start/end), selecting and pasting work as usual, a
// whole character (grapheme cluster) at a time; copying, cutting, undo and redo do nothing.
TextField {
    id: field

    // The password typed; assign "" to clear the field.
    property alias password: secret.password

    SecureFieldModel {
        id: secret
    }
    FocusRing {
        radius: 8
    }

    // True while an edit of the field's own runs: it places the cursor itself.
    property bool editing: false

    // Shows the mask with the cursor at `cursor`.
    function showMask(cursor) {
        if (field.text !== secret.mask)
            field.text = secret.mask
        field.cursorPosition = Math.max(0, Math.min(cursor, field.length))
    }
    // Runs `change` (which edits the password and returns the cursor) and shows the result.
    function apply(change) {
        field.editing = true
        const cursor = change()
        field.editing = false
        showMask(cursor)
    }
    function edit(start, end, typed) {
        apply(() => secret.replace(start, end, typed))
    }

    // Shown as a password too, which is what marks it a password edit for assistive technology.
    echoMode: TextInput.Password
    inputMethodHints: Qt.ImhHiddenText | Qt.ImhSensitiveData | Qt.ImhNoPredictiveText | Qt.ImhNoAutoUppercase
    font: Theme.body
    activeFocusOnTab: true

    Accessible.role: Accessible.EditableText
    Accessible.passwordEdit: true
    // This Qt withholds a password edit's name: the label reaches assistive technology as the
    // description (where a stock field puts its placeholder too), which the kit's accessibility
    // layer (AccessibleItems.cpp) gives as the name as well.
    Accessible.name: field.placeholderText
    Accessible.description: field.placeholderText
    Accessible.ignored: !field.visible

    // The field's text changes only through showMask(); any other change (an input method, a drop,
    // the password set from outside) is folded into the password and masked again at once.
    onTextChanged: {
        if (!field.editing && field.text !== secret.mask) {
            const shown = field.text
            apply(() => secret.absorb(shown))
        }
    }
    // A password set from outside (the field created with one included) shows with the cursor at
    // its end, so what is typed next follows it.
    Connections {
        target: secret
        function onPasswordChanged() {
            if (!field.editing)
                field.showMask(secret.length)
        }
    }
    Component.onCompleted: showMask(secret.length)

    Keys.onPressed: event => {
        const from = Math.min(field.selectionStart, field.selectionEnd)
        const to = Math.max(field.selectionStart, field.selectionEnd)
        const selected = to > from
        const control = (event.modifiers & Qt.ControlModifier) !== 0
        if (event.matches(StandardKey.Paste)) {
            const at = field.cursorPosition
            field.apply(() => selected ? secret.paste(from, to) : secret.paste(at, at))
        } else if (event.matches(StandardKey.Copy) || event.matches(StandardKey.Cut)
                   || event.matches(StandardKey.Undo) || event.matches(StandardKey.Redo)) {
            // Nothing leaves a password field, and its history is not kept.
        } else if (event.key === Qt.Key_Backspace) {
            if (selected)
                field.edit(from, to, "")
            else
                field.edit(control ? 0 : Math.max(0, field.cursorPosition - 1), field.cursorPosition, "")
        } else if (event.key === Qt.Key_Delete) {
            if (selected)
                field.edit(from, to, "")
            else
                field.edit(field.cursorPosition, control ? field.length : field.cursorPosition + 1, "")
        } else if (event.text.length > 0 && event.text.charCodeAt(0) >= 0x20 && event.text.charCodeAt(0) !== 0x7f
                   && (event.modifiers & (Qt.ControlModifier | Qt.MetaModifier)) === 0) {
            field.edit(selected ? from : field.cursorPosition, selected ? to : field.cursorPosition, event.text)
        } else {
            // Movement, selection, Return (accepted) and the rest: the field's own.
            event.accepted = false
            return
        }
        event.accepted = true
    }
}
