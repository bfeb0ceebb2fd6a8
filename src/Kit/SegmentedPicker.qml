import QtQuick
import QtQuick.Controls
import Melodrift

// The segmented picker: equal segments in a rounded track, the chosen one on a raised thumb that
// slides to a new choice (ease-in-out, 0.2 s). Segments run in reading order (right to left in
// RTL). `activated(index)` reports a choice by tap, Space, Enter or the arrow keys; the owner
// sets `currentIndex` in return.
//     SegmentedPicker { titles: ["ورود", "ثبتنام"]; currentIndex: model.mode; onActivated: i => model.mode = i }
FocusScope {
    id: picker

    property var titles: []
    property int currentIndex: 0
    signal activated(int index)

    implicitWidth: 240
    implicitHeight: 32
    activeFocusOnTab: true

    function choose(index) {
        if (enabled && index >= 0 && index < titles.length && index !== currentIndex)
            activated(index)
    }

    Keys.onPressed: function(event) {
        // The arrow that points along the reading order moves to the next segment.
        const forward = picker.LayoutMirroring.enabled ? Qt.Key_Left : Qt.Key_Right
        const backward = picker.LayoutMirroring.enabled ? Qt.Key_Right : Qt.Key_Left
        if (event.key === forward) {
            choose(currentIndex + 1)
            event.accepted = true
        } else if (event.key === backward) {
            choose(currentIndex - 1)
            event.accepted = true
        }
    }

    Rectangle {
        id: track
        anchors.fill: parent
        radius: 8
        color: Qt.rgba(0.46, 0.46, 0.5, 0.24)
        border.width: picker.activeFocus ? 2 : 0
        border.color: Theme.accent
    }

    Rectangle {
        id: thumb
        readonly property real segmentWidth: (picker.width - 4) / Math.max(1, picker.titles.length)
        width: segmentWidth
        height: picker.height - 4
        y: 2
        // Segment 0 sits at the leading edge.
        x: picker.LayoutMirroring.enabled
           ? picker.width - 2 - (picker.currentIndex + 1) * segmentWidth
           : 2 + picker.currentIndex * segmentWidth
        radius: 7
        color: Qt.rgba(0.39, 0.39, 0.42, 1)
        Behavior on x { NumberAnimation { duration: 200; easing.type: Easing.InOutQuad } }
    }

    Row {
        anchors.fill: parent
        anchors.margins: 2

        Repeater {
            model: picker.titles

            AbstractButton {
                id: segment
                required property int index
                required property string modelData
                width: thumb.segmentWidth
                height: parent.height
                focusPolicy: Qt.NoFocus
                checkable: false
                checked: picker.currentIndex === index
                // Read as a tab, selected while it is chosen (the kit's accessible layer applies it).
                readonly property int accessibleRole: Accessible.PageTab
                Accessible.role: Accessible.PageTab
                Accessible.name: modelData
                Accessible.onPressAction: picker.choose(index)
                onClicked: picker.choose(index)
                contentItem: Text {
                    textFormat: Text.PlainText
                    text: segment.modelData
                    font: Theme.withWeight(Theme.footnote, segment.checked ? Font.DemiBold : Font.Normal)
                    color: Theme.label
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    Accessible.ignored: true
                }
            }
        }
    }

    Keys.onSpacePressed: choose((currentIndex + 1) % Math.max(1, titles.length))
    Keys.onReturnPressed: choose((currentIndex + 1) % Math.max(1, titles.length))
    Keys.onEnterPressed: choose((currentIndex + 1) % Math.max(1, titles.length))
    Accessible.role: Accessible.PageTabList
    Accessible.name: titles.length > currentIndex ? titles[currentIndex] : ""
}
