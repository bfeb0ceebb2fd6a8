import QtQuick
import Melodrift

// The library tab (not built yet): its title and the advertisement banner.
NavigationPage {
    id: page

    navigationTitle: "کتابخانه"

    SymbolImage {
        anchors.centerIn: parent
        symbol: "music.note.list"
        size: 56
        color: Qt.rgba(1, 1, 1, 0.25)
    }

    AdBannerView {
        objectName: "adBanner"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 16
        height: 60
    }
}
