import QtQuick
import Melodrift

// The SoundCloud search page (not built yet): pushed on the home screen's stack, with its title;
// the navigation bar's back button closes it.
NavigationPage {
    id: page

    navigationTitle: "جستجو در SoundCloud"

    SymbolImage {
        anchors.centerIn: parent
        symbol: "magnifyingglass"
        size: 56
        color: Qt.rgba(1, 1, 1, 0.25)
    }
}
