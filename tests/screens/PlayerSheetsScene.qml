import QtQuick
import Melodrift

// Screenshot scene of the full player's two sheets and its footer, against the stand-in's demo
// catalogue, each on the application background as the full player presents it.
//   sheet             "lyrics", "eq" or "footer"
//   playGenre         hand this catalogue station to the player first
//   showTranslation   lyrics: translations shown (as the sheet opens) or hidden
//   preset            eq: choose this preset
//   gains             eq: then set these five gains (a custom setting)
//   eqEnabled         eq: the switch
//   openMenu          eq: open the preset menu
//   download          footer: start downloading the playing track
//   requestLink       footer: ask for the Telegram link (with a scripted refusal: the error line)
Item {
    id: scene

    property string sheet: "lyrics"
    property string playGenre
    property bool showTranslation: true
    property string preset
    property var gains: []
    property bool eqEnabled: true
    property bool openMenu: false
    property bool download: false
    property bool requestLink: false

    property bool started: false

    function start() {
        if (started || (playGenre !== "" && StationStore.stations.length === 0))
            return
        started = true
        const stations = StationStore.stations
        for (let i = 0; i < stations.length; ++i) {
            if (stations[i].genre === playGenre)
                RadioPlayer.select(stations[i])
        }
        loader.active = true
    }

    Component.onCompleted: {
        if (playGenre !== "")
            StationStore.requestLoad(false)
        if (sheet === "eq") {
            eq.applyPreset(preset !== "" ? preset : "تخت")
            for (let band = 0; band < gains.length; ++band)
                eq.setGain(band, gains[band])
            eq.enabled = eqEnabled
        }
        start()
    }
    Connections {
        target: StationStore
        function onStationsChanged() { scene.start() }
    }
    // The footer's actions, once its station is there.
    Timer {
        interval: 100
        repeat: true
        running: scene.started && scene.sheet === "footer" && (scene.download || scene.requestLink)
        onTriggered: {
            const footer = loader.item ? loader.item.footerModel : null
            if (!footer || !footer.hasStation)
                return
            running = false
            if (scene.download)
                footer.tapDownload()
            if (scene.requestLink)
                footer.requestTelegramLink()
        }
    }

    EQViewModel { id: eq }

    function itemNamed(item, name) {
        if (item.objectName === name)
            return item
        for (let i = 0; i < item.children.length; ++i) {
            const found = itemNamed(item.children[i], name)
            if (found)
                return found
        }
        return null
    }
    Timer {
        interval: 300
        running: scene.openMenu && loader.item !== null
        onTriggered: scene.itemNamed(loader.item, "presetMenu").clicked()
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    Loader {
        id: loader
        active: false
        anchors.fill: parent
        anchors.topMargin: scene.sheet === "footer" ? 0 : 36
        LayoutMirroring.enabled: true
        LayoutMirroring.childrenInherit: true
        sourceComponent: scene.sheet === "eq" ? eqSheet : scene.sheet === "footer" ? footer : lyricsSheet
    }

    Component {
        id: lyricsSheet
        LyricsSheet {
            station: RadioPlayer.currentStation
            showTranslation: scene.showTranslation
        }
    }
    Component {
        id: eqSheet
        EQView {}
    }
    Component {
        id: footer
        Item {
            readonly property alias footerModel: bar.footerModel
            PlayerFooter {
                id: bar
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.margins: 24
                anchors.verticalCenter: parent.verticalCenter
                station: RadioPlayer.currentStation
            }
        }
    }
}
