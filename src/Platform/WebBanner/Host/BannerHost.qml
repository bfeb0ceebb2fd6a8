import QtQuick
import QtWebEngine

// The banner's page in the web host, drawn offscreen: transparent, not scrolling; links that
// would open a window are handed to the host (which hands them to the application).
FocusScope {
    id: page

    required property QtObject host
    required property string pageHtml
    required property url baseUrl
    required property string linkScript
    // The application's device pixel ratio: the item is in device pixels, the page in the
    // application's logical pixels.
    property real zoom: 1

    function reload() {
        view.loadHtml(pageHtml, baseUrl)
    }

    // Keyboard focus that leaves the page lands on one of these two and is handed back to the
    // application, which moves its own focus on.
    Item {
        activeFocusOnTab: true
        onActiveFocusChanged: {
            if (activeFocus) {
                view.forceActiveFocus()
                page.host.focusLeft(false)
            }
        }
    }

    WebEngineView {
        id: view

        anchors.fill: parent
        focus: true
        activeFocusOnTab: true
        zoomFactor: page.zoom
        backgroundColor: "transparent"
        settings.showScrollBars: false
        // Media in the ad does not start playing inside the banner by itself.
        settings.playbackRequiresUserGesture: true
        settings.javascriptCanOpenWindows: true

        // In every frame: links and window.open() calls that would open a window are reported with
        // their address as the page wrote it. (Set from script: Qt 6.4 refuses the script
        // collection as a grouped property.)
        Component.onCompleted: {
            userScripts.collection = [{
                name: "melodrift-links",
                sourceCode: page.linkScript,
                injectionPoint: WebEngineScript.DocumentCreation,
                worldId: WebEngineScript.MainWorld,
                runsOnSubFrames: true
            }]
            page.reload()
        }

        onJavaScriptConsoleMessage: (level, message, lineNumber, sourceID) => page.host.consoleMessage(message)
        // A request the page's script did not catch (a form posted to a new window) arrives here;
        // a window is never opened.
        onNewWindowRequested: request => page.host.newWindow(request.requestedUrl)
        onLoadingChanged: info => {
            if (info.status === WebEngineView.LoadSucceededStatus) {
                view.zoomFactor = Qt.binding(() => page.zoom)
                page.host.loaded(true)
            } else if (info.status === WebEngineView.LoadFailedStatus) {
                page.host.loaded(false)
            }
        }
    }

    Item {
        activeFocusOnTab: true
        onActiveFocusChanged: {
            if (activeFocus) {
                view.forceActiveFocus()
                page.host.focusLeft(true)
            }
        }
    }
}
