import QtQuick
import Melodrift

// Load-test host of SoundCloudResultRow: one row with its play mark.
Item {
    SoundCloudResultRow {
        width: 360
        row: ({genre: "sc-1", title: "Aria", artist: "SoundCloud", artworkURL: ""})
        trailing: Component {
            SymbolImage { symbol: "play.circle"; size: 22 }
        }
    }
}
