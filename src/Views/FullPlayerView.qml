import QtQuick
import QtQuick.Controls
import Melodrift

// The full-screen player (not built yet): what plays, a play/pause button and a button that
// closes it.
Item {
    id: root

    signal dismissRequested()

    MiniPlayerBarModel {
        id: playing
    }

    HarmonicTint {
        anchors.fill: parent
        tint: RadioPlayer.themeColor
        artworkKey: playing.artworkURL !== undefined ? String(playing.artworkURL) : ""
    }

    PlainButton {
        objectName: "closeButton"
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.margins: 16
        symbol: "chevron.down"
        symbolSize: 24
        color: "white"
        Accessible.name: "بستن"
        onClicked: root.dismissRequested()
    }

    Column {
        anchors.centerIn: parent
        width: parent.width - 64
        spacing: 14

        RoundedClip {
            anchors.horizontalCenter: parent.horizontalCenter
            width: Math.min(parent.width, 300)
            height: width
            radius: 22
            ArtworkImage {
                anchors.fill: parent
                urlString: playing.artworkURL
                cornerRadius: 22
            }
        }
        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: playing.trackTitle
            font: Theme.title3
            color: "white"
            elide: Text.ElideRight
        }
        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: playing.stationName
            font: Theme.subheadline
            color: Qt.rgba(1, 1, 1, 0.6)
            elide: Text.ElideRight
        }
        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            visible: text !== ""
            text: RadioPlayer.statusText
            font: Theme.footnote
            color: Qt.rgba(1, 1, 1, 0.5)
        }
        PlainButton {
            objectName: "playPauseButton"
            anchors.horizontalCenter: parent.horizontalCenter
            symbol: RadioPlayer.isPlaying ? "pause.fill" : "play.fill"
            symbolSize: 44
            color: "white"
            onClicked: RadioPlayer.togglePlayPause()
        }
    }
}
