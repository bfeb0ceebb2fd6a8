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

    // In every frame: links and window.open() calls that would open a window are reported with
    // their address as the page wrote it (the browser's own request has the scheme in small
    // letters), so the link rule compares the scheme as written.
    // (Set from script: Qt 6.4 refuses the script collection as a grouped property.)
    Component.onCompleted: {
        userScripts.collection = [{
            name: "melodrift-links",
            sourceCode: banner.linkScript,
            injectionPoint: WebEngineScript.DocumentCreation,
            worldId: WebEngineScript.MainWorld,
            runsOnSubFrames: true
        }]
        loadHtml(banner.pageHtml, banner.baseURL)
    }

    onJavaScriptConsoleMessage: (level, message, lineNumber, sourceID) => {
        const address = banner.linkFromMessage(message)
        if (address !== "")
            banner.handleNewWindow(address)
    }

    // Navigations inside the view (the loader's own requests, redirects in the slot) go ahead;
    // a new window is never opened here: the model hands web links to the browser. (A request the
    // page's script did not catch, such as a form posted to a new window, arrives here.)
    onNewWindowRequested: request => banner.handleNewWindow(request.requestedUrl.toString())
}
