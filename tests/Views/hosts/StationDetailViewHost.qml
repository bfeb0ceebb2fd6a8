import QtQuick
import Melodrift

// The detail page of a rotation, pushed on a navigation stack as the home screen does.
NavigationStack {
    initialItem: Component {
        StationDetailView {
            station: ({
                genre: "host-rotation", server_name: "چرخش آزمایشی", artwork_url: "/artwork/host.jpg",
                track_index: 1, track_count: 3,
                tracks: [
                    { title: "باران", artist: "آرش", duration: 185 },
                    { title: "Morning Keys", artist: "Elias Brandt", artwork_url: "/artwork/keys.jpg" },
                    { duration: 0 }
                ]
            })
        }
    }
}
