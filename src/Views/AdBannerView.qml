import QtQuick
import Melodrift

// The advertisement banner: one slot of the ad network in a web view, on a rounded card. The
// screen that shows it gives its height:
//     AdBannerView { height: 60; anchors.left: ...; anchors.right: ... }
// The web view is made when the banner is shown (which starts the web engine) and its page loads
// afresh each time the banner is shown again. A banner out of sight for a minute lets its web view
// go, and with the last one the engine's helper processes end. Where the engine cannot run, the
// card stays empty.
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

    // How long a banner out of sight keeps its web view.
    property int releaseAfterMs: 60000

    function show() {
        release.stop()
        if (!banner.webEngineAvailable)
            return
        if (web.status === Loader.Null)
            web.setSource("qrc:/Melodrift/AdWebView.qml", { banner: banner })
        else if (web.item)
            web.item.loadHtml(banner.pageHtml, banner.baseURL)
    }
    Component.onCompleted: {
        if (visible)
            show()
    }
    onVisibleChanged: {
        if (visible)
            show()
        else if (web.status !== Loader.Null)
            release.restart()
    }

    Timer {
        id: release
        interval: root.releaseAfterMs
        onTriggered: web.source = ""
    }

    // The border, drawn inside the card.
    Rectangle {
        anchors.fill: parent
        radius: root.cornerRadius
        color: "transparent"
        border.width: 0.8
        border.color: Qt.rgba(1, 1, 1, 0.08)
    }
}
