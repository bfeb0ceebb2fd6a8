import QtQuick
import QtQuick.Controls
import Melodrift

// The library tab (its first screens): its own navigation stack with the offline downloads and
// the signed-in listener's playlists, and the advertisement banner.
Item {
    id: root

    NavigationStack {
        id: stack
        objectName: "libraryStack"
        anchors.fill: parent
        initialItem: rootPage
    }

    Component {
        id: rootPage
        NavigationPage {
            navigationTitle: "کتابخانه من"

            Column {
                x: 16
                y: 8
                width: parent.width - 32
                spacing: 12

                PlainButton {
                    objectName: "offlineLink"
                    width: parent.width
                    text: "دانلودهای آفلاین"
                    symbol: "arrow.down.circle.fill"
                    font: Theme.headline
                    onClicked: stack.push(Qt.resolvedUrl("qrc:/Melodrift/OfflineLibraryView.qml"))
                }
                Repeater {
                    model: AuthStore.playlists
                    PlainButton {
                        required property var modelData
                        required property int index
                        objectName: "playlistLink" + index
                        width: parent.width
                        text: modelData.title !== undefined ? modelData.title : ""
                        symbol: "music.note.list"
                        onClicked: stack.push(Qt.resolvedUrl("qrc:/Melodrift/PlaylistDetailView.qml"), { summary: modelData })
                    }
                }
            }

            AdBannerView {
                objectName: "adBanner"
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                anchors.margins: 16
                height: 120
            }
        }
    }
}
