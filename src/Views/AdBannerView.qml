import QtQuick
import Melodrift

// The advertisement banner: one slot of the ad network in a web page on a rounded card. The
// screen that shows it gives its height:
//     AdBannerView { height: 60; anchors.left: ...; anchors.right: ... }
// The page runs in the banner's web host, a process started when the banner is shown; its page
// loads afresh each time the banner is shown again. A banner out of sight for a minute (hidden,
// or gone with the screen that showed it) ends its host, and all of the web engine's memory goes
// with it; a banner shown again within that minute takes the running host over. Where the host
// cannot run, the card stays empty.
Item {
    id: root

    readonly property real cornerRadius: 16
    // True while the banner's web host runs.
    readonly property bool hasWebView: picture.running

    implicitHeight: 60

    AdBannerViewModel {
        id: banner
    }

    Rectangle {
        anchors.fill: parent
        radius: root.cornerRadius
        color: Qt.rgba(1, 1, 1, 0.04)
    }

    // The page, clipped to the card's corners as it is drawn.
    WebBannerPicture {
        id: picture
        objectName: "adPicture"
        anchors.fill: parent
        radius: root.cornerRadius
        shown: root.visible && WindowExposure.exposed
        keepHostMs: root.releaseAfterMs
        // A focus stop wherever banners can show (the keys go to the page's links).
        activeFocusOnTab: banner.webEngineAvailable
        onLinkRequested: address => banner.handleNewWindow(address)

        Accessible.role: Accessible.Graphic
        Accessible.name: "آگهی"
        Accessible.focusable: banner.webEngineAvailable
        Accessible.onPressAction: picture.click()

        FocusRing {
            radius: root.cornerRadius + 3
        }
    }

    // How long a banner out of sight, or gone, keeps its web host.
    property int releaseAfterMs: 60000

    function show() {
        release.stop()
        if (!banner.webEngineAvailable)
            return
        if (picture.running)
            picture.reload()
        else
            picture.start(banner.hostArguments)
    }
    Component.onCompleted: {
        if (visible)
            show()
    }
    onVisibleChanged: {
        if (visible)
            show()
        else if (picture.running)
            release.restart()
    }

    Timer {
        id: release
        interval: root.releaseAfterMs
        onTriggered: picture.stop()
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
