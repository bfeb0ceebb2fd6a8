import QtQuick
import Melodrift

// Two cards: a rotation with its count line and a live station with its badge.
Row {
    spacing: 14
    padding: 16

    StationCardView {
        width: 160
        station: ({
            genre: "host-rotation", server_name: "چرخش آزمایشی", artwork_url: "/artwork/host.jpg",
            track_count: 2, tracks: [{ title: "یک" }, { title: "دو" }]
        })
    }
    StationCardView {
        width: 160
        station: ({ genre: "host-live", title: "Nova Lane - Golden Hour", stream_url: "/live/host" })
    }
}
