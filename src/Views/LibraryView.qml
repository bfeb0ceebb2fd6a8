import QtQuick
import QtQuick.Controls
import Melodrift

// The library tab: its own navigation stack whose root lists the offline downloads card, the
// sign-in prompt or the liked tracks and the playlists grid, and the advertisement banner; its own
// mini player bar (a tap opens the window's one full player). Pull down, F5 or Ctrl+R reloads the
// library. A playlist card's context menu (a right click, a long press, the menu key, Shift+F10 or
// Delete on a focused card) deletes it after a confirmation.
Item {
    id: root

    readonly property alias model: library
    readonly property alias navigationStack: stack

    LibraryViewModel {
        id: library
    }

    // Each time the tab comes on screen.
    Component.onCompleted: {
        if (visible)
            library.appear()
    }
    onVisibleChanged: {
        if (visible)
            library.appear()
    }

    Shortcut {
        sequences: [StandardKey.Refresh, "Ctrl+R"]
        enabled: root.visible
        onActivated: library.refresh()
    }

    NavigationStack {
        id: stack
        objectName: "libraryStack"
        anchors.fill: parent
        initialItem: rootPage
    }

    Component {
        id: rootPage
        NavigationPage {
            id: page
            navigationTitle: "کتابخانه من"
            backgroundColor: "transparent"

            toolbarLeading: Component {
                PlainButton {
                    objectName: "accountLink"
                    visible: library.isAuthed
                    symbol: "person.crop.circle"
                    symbolSize: 22
                    color: Qt.rgba(1, 1, 1, 0.75)
                    Accessible.name: accountTexts.buttonName
                    onClicked: stack.push(accountPage)
                    AccountSheetModel { id: accountTexts }
                }
            }

            LibraryColumn {
                id: flick
                objectName: "libraryScroll"
                anchors.fill: parent
                library: root.model
                boundsBehavior: Flickable.DragOverBounds
                onOpenOffline: stack.push(Qt.resolvedUrl("qrc:/Melodrift/OfflineLibraryView.qml"))
                onOpenPlaylist: summary => stack.push(Qt.resolvedUrl("qrc:/Melodrift/PlaylistDetailView.qml"),
                                                      { summary: summary })

                // Pull to refresh: released far enough below the top.
                readonly property real pulled: originY - topMargin - contentY
                readonly property bool pulledFar: pulled > 70
                property bool refreshing: false
                onDraggingChanged: {
                    if (!dragging && pulledFar && library.isAuthed) {
                        refreshing = true
                        library.refresh()
                    }
                }
                Connections {
                    target: AuthStore
                    function onIsLoadingLibraryChanged() {
                        if (!AuthStore.isLoadingLibrary)
                            flick.refreshing = false
                    }
                }

                ProgressView {
                    anchors.horizontalCenter: parent.horizontalCenter
                    y: flick.originY - flick.topMargin - height - 12
                    visible: flick.pulled > 8 || flick.refreshing
                    tint: "white"
                }
            }
        }
    }

    Component {
        id: accountPage
        AccountSheet {
            bottomInset: library.hasCurrentStation ? library.bottomPadding : 0
            onDismissRequested: stack.pop()
        }
    }

    // Behind the pages: the background, tinted while a station is current.
    Rectangle {
        anchors.fill: parent
        z: -2
        color: Theme.background
    }
    HarmonicTint {
        anchors.fill: parent
        z: -1
        visible: library.hasCurrentStation
        baseColor: Theme.background
        tint: RadioPlayer.themeColor
    }

    // The mini player bar slides in from the bottom edge with a fade.
    Item {
        id: barSlot
        objectName: "libraryMiniPlayerSlot"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: bar.implicitHeight
        visible: shown > 0
        opacity: shown
        transform: Translate { y: (1 - barSlot.shown) * barSlot.height }

        property real shown: library.hasCurrentStation ? 1 : 0
        Behavior on shown {
            // A spring of response 0.4 s, damping 0.85: it barely overshoots.
            NumberAnimation { duration: 400; easing.type: Easing.OutBack; easing.overshoot: 0.6 }
        }

        // Behind the bar: a tap anywhere on it but its button opens the full player. A button, so
        // that the keyboard and assistive technology can open it too.
        ButtonBase {
            objectName: "libraryMiniPlayerTapArea"
            anchors.fill: parent
            anchors.leftMargin: bar.sideInset
            anchors.rightMargin: bar.sideInset
            anchors.bottomMargin: bar.bottomInset
            enabled: library.hasCurrentStation
            focusRingRadius: 23
            background: null
            Accessible.name: bar.summary
            onClicked: library.presentFullPlayer()
        }

        MiniPlayerBar {
            id: bar
            anchors.fill: parent
        }
    }

    Sheet {
        presenter: library
        flag: "showLogin"
        LoginSheet {}
    }

    ConfirmationDialog {
        objectName: "deletePlaylistDialog"
        presenter: library
        flag: "showDeletePlaylistConfirm"
        title: library.deleteTitle
        message: "این عمل قابل بازگشت نیست."
        destructiveText: "حذف"
        onConfirmed: library.confirmDelete()
        onCancelled: library.cancelDelete()
    }
}
