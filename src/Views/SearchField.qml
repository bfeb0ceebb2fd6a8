import QtQuick
import Melodrift

// The one-line text field of the search and import rows: a plain field on a rounded, faintly
// lit box (radius 14, white at 6 %), padded 14 across and 12 down, with a placeholder.
//     SearchField { placeholder: "نام آهنگ یا هنرمند…"; text: model.query
//                   onEdited: value => model.query = value; onSubmitted: model.search() }
// Text-input traits: no automatic capitalisation, no correction. A field whose Enter does
// nothing simply leaves `submitted` unconnected.
Item {
    id: root

    property string placeholder
    property string text
    readonly property alias input: field

    signal edited(string value)
    // Enter in the field.
    signal submitted()

    implicitWidth: 240
    implicitHeight: 46

    Rectangle {
        anchors.fill: parent
        radius: 14
        color: Qt.rgba(1, 1, 1, 0.06)
        border.width: field.activeFocus ? 1.5 : 0
        border.color: Theme.accent
    }

    Text {
        textFormat: Text.PlainText
        anchors.fill: field
        visible: field.text === "" && !field.inputMethodComposing
        text: root.placeholder
        font: Theme.subheadline
        color: Qt.rgba(1, 1, 1, 0.3)
        elide: Text.ElideRight
        horizontalAlignment: Text.AlignLeft
        verticalAlignment: Text.AlignVCenter
        Accessible.ignored: true
    }

    TextInput {
        id: field
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: 14
        anchors.rightMargin: 14
        anchors.verticalCenter: parent.verticalCenter
        clip: true
        activeFocusOnTab: true
        selectByMouse: true
        font: Theme.subheadline
        color: "white"
        selectionColor: Theme.accent
        horizontalAlignment: TextInput.AlignLeft
        inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText
        text: root.text
        onTextChanged: root.edited(text)
        onAccepted: root.submitted()
        Accessible.role: Accessible.EditableText
        Accessible.name: root.placeholder
        Accessible.description: root.placeholder
    }
}
