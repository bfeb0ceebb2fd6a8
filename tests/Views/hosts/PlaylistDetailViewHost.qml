import QtQuick
import Melodrift

// The playlist page needs the playlist it shows.
NavigationStack {
    initialItem: PlaylistDetailView {
        summary: ({ id: 1, title: "آرامش شبانه", trackCount: 3 })
    }
}
