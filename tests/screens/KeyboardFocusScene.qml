import QtQuick
import Melodrift

// Screenshot scene of the main window with keyboard focus on one control, as Tab leaves it.
//   focusName   object name of the control (or of the grid cell holding the card) to focus
//   playGenre   hand this catalogue station to the player, so the mini bar shows
AppWindow {
    id: scene

    property string focusName
    property string playGenre
    property bool applied: false

    function find(item, name) {
        for (let i = 0; i < item.children.length; ++i) {
            const child = item.children[i]
            if (child.objectName === name)
                return child
            const found = find(child, name)
            if (found)
                return found
        }
        return null
    }

    function apply() {
        if (applied || StationStore.stations.length === 0)
            return
        applied = true
        const stations = StationStore.stations
        for (let i = 0; i < stations.length; ++i) {
            if (stations[i].genre === playGenre)
                RadioPlayer.select(stations[i])
        }
        Qt.callLater(scene.focusControl)
    }
    function focusControl() {
        let target = find(scene.contentItem, focusName)
        // A grid cell: its card.
        if (target && target.activeFocusOnTab === false && target.children.length > 0)
            target = target.children[0]
        if (target)
            target.forceActiveFocus(Qt.TabFocusReason)
    }

    Connections {
        target: StationStore
        function onStationsChanged() { scene.apply() }
    }
    Component.onCompleted: apply()
}
