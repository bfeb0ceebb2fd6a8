import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Melodrift

// The main window: two tabs, the radio (ContentView) and the library, right to left in the dark
// scheme with the accent as tint, and the one full-screen player over both, shown while
// RadioPlayer.isFullPlayerPresented holds. The catalogue loads when the window first appears and
// again whenever the application becomes active while it is still empty.
MelodriftWindow {
    id: window
    width: 430
    height: 860
    minimumWidth: 360
    minimumHeight: 560
    visible: true
    title: "Melodrift Radio"

    // 0: the radio tab, 1: the library tab.
    property int currentTab: 0
    // The library tab is made the first time it is chosen, not at start-up, and then kept.
    property bool libraryOpened: false
    onCurrentTabChanged: {
        if (currentTab === 1)
            libraryOpened = true
    }

    AppWindowModel {
        id: scene
    }

    Component.onCompleted: scene.windowAppeared()

    // The screens that are not on the first frame (the full player, the library tab, the home
    // screen's sheets) are named by their files, so that start-up does not wait for them to be
    // read. Once the first frame is up they are read in the background and kept ready, so that
    // the first opening of one does not wait either.
    property var preparedScreens: []
    Connections {
        target: window
        enabled: window.preparedScreens.length === 0
        function onFrameSwapped() {
            window.preparedScreens = ["FullPlayerView", "LibraryView", "ShazamView", "AccountSheet", "LoginSheet"]
                .map(name => Qt.createComponent("qrc:/Melodrift/" + name + ".qml", Component.Asynchronous))
        }
    }

    // True while the full player covers the whole window: the tabs under it are not drawn then,
    // so nothing of theirs (a playing indicator) costs a frame.
    property bool covered: false

    StackLayout {
        id: tabs
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: tabBar.top
        currentIndex: window.currentTab
        visible: !window.covered

        ContentView {
            objectName: "radioTab"
        }
        Loader {
            active: window.libraryOpened
            source: "qrc:/Melodrift/LibraryView.qml"
            onLoaded: item.objectName = "libraryTab"
        }
    }

    Rectangle {
        id: tabBar
        objectName: "tabBar"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 54
        visible: !window.covered
        color: Qt.rgba(0.07, 0.07, 0.08, 0.96)

        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            height: 1
            color: Theme.separator
        }

        RowLayout {
            id: tabRow
            anchors.fill: parent
            anchors.topMargin: 1
            spacing: 0

            Accessible.role: Accessible.PageTabList
            Accessible.name: "زبانه‌ها"
            // A region of its own for F6.
            FocusRegion { target: tabRow }

            Repeater {
                model: [
                    { title: "رادیو", symbol: "dot.radiowaves.left.and.right" },
                    { title: "کتابخانه", symbol: "music.note.list" }
                ]

                ButtonBase {
                    id: tab
                    required property var modelData
                    required property int index
                    readonly property bool selected: window.currentTab === index
                    readonly property color tint: selected ? Theme.accent : Theme.gray

                    objectName: "tab" + index
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    focusRing.gap: -2
                    // Read as a tab, selected while it shows.
                    accessibleRole: Accessible.PageTab
                    checked: selected
                    Accessible.name: modelData.title
                    onClicked: window.currentTab = index

                    contentItem: Item {
                        Column {
                            anchors.centerIn: parent
                            spacing: 2
                            SymbolImage {
                                anchors.horizontalCenter: parent.horizontalCenter
                                symbol: tab.modelData.symbol
                                size: 22
                                color: tab.tint
                            }
                            Text {
                                textFormat: Text.PlainText
                                anchors.horizontalCenter: parent.horizontalCenter
                                text: tab.modelData.title
                                font: Theme.withWeight(Theme.caption2, Font.Medium)
                                color: tab.tint
                            }
                        }
                    }
                    background: null
                }
            }
        }
    }

    FullScreenCover {
        id: fullPlayerCover
        objectName: "fullPlayerCover"
        presenter: RadioPlayer
        flag: "isFullPlayerPresented"
        onOpened: window.covered = true
        onAboutToHide: window.covered = false
        source: "qrc:/Melodrift/FullPlayerView.qml"
    }
}
