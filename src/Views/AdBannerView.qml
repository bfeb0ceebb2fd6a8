import QtQuick
import Melodrift

// The advertisement banner: one slot of the ad network in a web view, on a rounded card. The
// screen that shows it gives its height:
//     AdBannerView { height: 60; anchors.left: ...; anchors.right: ... }
// The web view is made the first time the banner is shown (which starts the web engine); where
// the engine cannot run, the card stays empty.
Item {
    id: root

    readonly property real cornerRadius: 16
    // True once the web view has been made.
    readonly property bool hasWebView: web.status === Loader.Ready

    implicitHeight: 60

    AdBannerViewModel {
        id: banner
    }

    Rectangle {
        anchors.fill: parent
        radius: root.cornerRadius
        color: Qt.rgba(1, 1, 1, 0.04)
    }

    RoundedClip {
        anchors.fill: parent
        radius: root.cornerRadius

        Loader {
            id: web
            anchors.fill: parent
        }
    }

    function makeWebView() {
        if (web.status === Loader.Null && banner.webEngineAvailable && root.visible)
            web.setSource("qrc:/Melodrift/AdWebView.qml", { banner: banner })
    }
    Component.onCompleted: makeWebView()
    onVisibleChanged: makeWebView()

    // The border, drawn inside the card.
    Rectangle {
        anchors.fill: parent
        radius: root.cornerRadius
        color: "transparent"
        border.width: 0.8
        border.color: Qt.rgba(1, 1, 1, 0.08)
    }
}
