import QtQuick
import Melodrift

// Load-test host of AdWebView. The web view needs the web engine set up before the application
// object, which only the application does (the test programs do not, and importing the engine
// here would warn): it is stood for by its banner, which stays an empty card where the engine is
// not ready. The application's banner is checked in tests/App.
Item {
    AdBannerView {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 16
        height: 60
    }
}
