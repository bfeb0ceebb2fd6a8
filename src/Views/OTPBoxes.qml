import QtQuick
import Melodrift

// The six-box field of a confirmation code: one hidden text input behind six boxes that show the
// digits; the box where the next digit goes has an accent border while the field has focus. The
// boxes run left to right whatever the surrounding direction.
//     OTPBoxes { code: model.otpCode; onEdited: value => model.otpCode = value }
// The owner filters what is typed (numbers only, at most six) and sets `code` in return; the
// field shows `code` again after every keystroke, so a refused character disappears at once.
// It takes the keyboard focus half a second after it shows, and at once on a tap on the boxes.
Item {
    id: root

    property string code
    readonly property var characters: TypedTextRules.characters(code)
    readonly property bool focused: input.activeFocus
    readonly property int currentIndex: focused && characters.length < 6 ? characters.length : -1
    readonly property alias input: input

    signal edited(string value)
    // Enter in the field.
    signal submitted()

    implicitWidth: 6 * 44 + 5 * 9
    implicitHeight: 52
    LayoutMirroring.enabled: false
    LayoutMirroring.childrenInherit: true

    function showCode() {
        if (input.text !== root.code) {
            input.text = root.code
            input.cursorPosition = input.text.length
        }
    }
    onCodeChanged: showCode()
    Component.onCompleted: showCode()

    TextInput {
        id: input
        objectName: "codeInput"
        width: 1
        height: 1
        opacity: 0.015
        activeFocusOnTab: true
        inputMethodHints: Qt.ImhDigitsOnly | Qt.ImhNoPredictiveText
        onTextChanged: {
            root.edited(text)
            root.showCode()
        }
        onAccepted: root.submitted()
        Accessible.role: Accessible.EditableText
        Accessible.name: "کد تایید"
    }

    Row {
        id: boxes
        anchors.centerIn: parent
        spacing: 9

        Repeater {
            model: 6
            Rectangle {
                required property int index
                readonly property bool current: index === root.currentIndex
                objectName: "codeBox" + index
                width: 44
                height: 52
                radius: 12
                color: Qt.rgba(1, 1, 1, 0.07)
                border.width: current ? 1.6 : 0.8
                border.color: current ? Theme.accent : Qt.rgba(1, 1, 1, 0.12)
                Behavior on border.color { ColorAnimation { duration: 150; easing.type: Easing.InOutQuad } }
                Accessible.ignored: true

                Text {
                    anchors.centerIn: parent
                    text: index < root.characters.length ? root.characters[index] : ""
                    font: Theme.font(22, Font.Bold)
                    color: "white"
                    textFormat: Text.PlainText
                    Accessible.ignored: true
                }
            }
        }
    }

    // A tap anywhere on the row, gaps included, gives the field the focus.
    MouseArea {
        anchors.fill: boxes
        onClicked: input.forceActiveFocus(Qt.MouseFocusReason)
    }

    Timer {
        interval: 500
        running: root.visible
        onTriggered: input.forceActiveFocus(Qt.OtherFocusReason)
    }
}
