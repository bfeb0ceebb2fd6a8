import QtQuick
import QtQuick.Controls
import Melodrift
import MelodriftGallery

// Screenshot scene: the kit gallery with a page pushed on its navigation stack and a row's
// context menu open on that page.
NavigationStack {
    id: stack
    initialItem: KitGallery {}

    Component {
        id: detail
        NavigationPage {
            navigationTitle: "ایستگاه ایرانی"
            toolbarTrailing: Component { PlainButton { symbol: "ellipsis.circle"; symbolSize: 20 } }

            Column {
                x: 16
                y: 12
                width: parent.width - 32
                spacing: 8
                Repeater {
                    model: 4
                    Rectangle {
                        id: row
                        required property int index
                        width: parent.width
                        height: 64
                        radius: 14
                        color: Qt.rgba(1, 1, 1, 0.04)
                        Row {
                            anchors.verticalCenter: parent.verticalCenter
                            anchors.left: parent.left
                            anchors.leftMargin: 10
                            spacing: 12
                            Text {
                                width: 22
                                text: Number(row.index + 1).toLocaleString(Qt.locale("fa_IR"), "f", 0)
                                font: Theme.caption2
                                color: Qt.rgba(1, 1, 1, 0.35)
                                anchors.verticalCenter: parent.verticalCenter
                            }
                            Text {
                                text: "آهنگ شمارهٔ " + (row.index + 1)
                                font: Theme.footnote
                                color: row.index === 1 ? Theme.accent : Theme.label
                                anchors.verticalCenter: parent.verticalCenter
                            }
                        }
                        ContextMenu {
                            id: menu
                            entries: () => [
                                { text: "حذف دانلود", symbol: "trash", action: () => {} }
                            ]
                        }
                        Component.onCompleted: if (index === 1) Qt.callLater(() => menu.openAt(width / 2, height))
                    }
                }
            }
        }
    }

    Component.onCompleted: Qt.callLater(() => stack.push(detail))
}
