import QtQuick
import QtQuick.Controls
import Melodrift

// Screenshot scene of the SoundCloud search page and the library tab's two cards, against the
// stand-in.
//   shot   screen-hint, screen-results, screen-empty, screen-error,
//          cards-idle, cards-loading, cards-results, cards-preview
// screen-error and cards-loading need the requests failed or held with --script.
Rectangle {
    id: scene

    property string shot: "screen-hint"
    readonly property bool cards: shot.startsWith("cards")

    color: Theme.background
    LayoutMirroring.enabled: true
    LayoutMirroring.childrenInherit: true

    NavigationStack {
        id: stack
        anchors.fill: parent
        visible: !scene.cards
        initialItem: Component {
            SoundCloudSearchView {
                id: page
                Component.onCompleted: scene.prepareScreen(page.model)
            }
        }
    }

    // The library tab's list (signed out): the offline card and the sign-in prompt, then the two cards.
    LibraryColumn {
        id: library
        anchors.fill: parent
        visible: scene.cards
        library: LibraryViewModel {}
    }

    function prepareScreen(m) {
        const query = {"screen-results": "a", "screen-empty": "zzzz-nothing", "screen-error": "a"}[shot]
        if (query === undefined)
            return
        m.query = query
        m.search()
    }

    Component.onCompleted: {
        if (!cards || shot === "cards-idle")
            return
        library.soundCloud.query = "a"
        library.soundCloud.search()
        library.spotify.link = "https://open.spotify.com/playlist/37i9dQZF1DX4"
        if (shot === "cards-preview" || shot === "cards-loading")
            library.spotify.resolve()
    }
}
