import QtQuick
import QtWebEngine
import Melodrift

// The banner's web view (made by AdBannerView only where the web engine runs): transparent, not
// scrolling, showing the inline page; links that open a new window go to the desktop's browser
// when they are http or https.
WebEngineView {
    id: view

    required property AdBannerViewModel banner

    backgroundColor: "transparent"
    settings.showScrollBars: false
    // Media in the ad does not start playing inside the banner by itself.
    settings.playbackRequiresUserGesture: true
    settings.javascriptCanOpenWindows: true

    Component.onCompleted: loadHtml(banner.pageHtml, banner.baseURL)

    // Navigations inside the view (the loader's own requests, redirects in the slot) go ahead;
    // a new window is never opened here: the model hands web links to the browser.
    onNewWindowRequested: request => banner.handleNewWindow(request.requestedUrl.toString())
}
