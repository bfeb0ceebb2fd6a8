import QtQuick
import Melodrift

SoundCloudCardRow {
    width: 430
    model: SoundCloudCardModel {}
    row: ({ genre: "sc-1", title: "آهنگ", artist: "SoundCloud", artworkURL: "" })
    position: 0
    isLast: true
}
