import QtQuick
import QtQuick.Layouts
import Melodrift

// The compact now-playing bar at the bottom of the main window: artwork, station name, track
// title with the playing indicator, and the play/pause button.
//     MiniPlayerBar { anchors.left: parent.left; anchors.right: parent.right; anchors.bottom: parent.bottom }
// The bar has no tap action of its own: the window puts a handler behind it that presents the
// full player; the play/pause button takes its own presses.
Item {
    id: root

    // Padding around the visible bar: 12 at the sides, 6 below.
    readonly property real sideInset: 12
    readonly property real bottomInset: 6

    implicitWidth: 430
    implicitHeight: card.implicitHeight + bottomInset

    // A region of its own for F6.
    FocusRegion { target: root }

    // What the bar shows, in one line for assistive technology: the station and its track, or
    // why it does not play.
    readonly property string secondLine: bar.problemText !== "" ? bar.problemText : bar.trackTitle
    readonly property string summary: root.secondLine !== "" ? bar.stationName + "، " + root.secondLine : bar.stationName

    MiniPlayerBarModel {
        id: bar
    }

    // Why the stream reconnects or could not play, spoken as it appears in the bar.
    Announcer {
        objectName: "problemAnnouncer"
        text: bar.problemText
    }

    // The player sets a new theme colour at once; the bar eases into it like the rest of the
    // screens (ease-in-out, 0.8 s), when it is in sight.
    property color themeColor: bar.themeColor
    Behavior on themeColor {
        enabled: root.visible && WindowExposure.exposed
        ColorAnimation { duration: 800; easing.type: Easing.InOutQuad }
    }

    function withAlpha(color, alpha) {
        return Qt.rgba(color.r, color.g, color.b, alpha)
    }

    Item {
        id: card
        x: root.sideInset
        width: root.width - 2 * root.sideInset
        height: implicitHeight
        implicitHeight: content.implicitHeight + 20

        SoftShadow {
            anchors.fill: parent
            radius: 20
            color: root.withAlpha(root.themeColor, 0.25)
            blur: 12
            offsetY: 4
        }

        // The dark ultra-thin material, with the border in the theme colour drawn inside it.
        Rectangle {
            objectName: "material"
            anchors.fill: parent
            radius: 20
            color: Qt.rgba(0.12, 0.12, 0.13, 0.82)
            border.width: 0.8
            border.color: root.withAlpha(root.themeColor, 0.35)
        }

        RowLayout {
            id: content
            anchors.fill: parent
            anchors.leftMargin: 14
            anchors.rightMargin: 14
            anchors.topMargin: 10
            anchors.bottomMargin: 10
            spacing: 12

            ArtworkImage {
                Layout.preferredWidth: 48
                Layout.preferredHeight: 48
                urlString: bar.artworkURL
                cornerRadius: 10
            }

            Column {
                id: titles
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignVCenter
                spacing: 2

                StaticText {
                    objectName: "stationName"
                    width: titles.width
                    text: bar.stationName
                    font: Theme.withWeight(Theme.caption, Font.DemiBold)
                    color: Qt.rgba(1, 1, 1, 0.6)
                    maximumLineCount: 1
                    elide: Text.ElideRight
                    horizontalAlignment: Text.AlignLeft
                }

                // As wide as the column, so that in a right-to-left window it starts at the right
                // edge under the station name (a Row in a Column is not placed by mirroring).
                Row {
                    objectName: "trackRow"
                    width: titles.width
                    spacing: 6

                    StaticText {
                        id: trackTitle
                        objectName: "trackTitle"
                        anchors.verticalCenter: parent.verticalCenter
                        width: Math.min(implicitWidth, titles.width - (bars.visible ? bars.width + 6 : 0))
                        text: root.secondLine
                        font: Theme.withWeight(bar.problemText !== "" ? Theme.caption : Theme.subheadline, Font.DemiBold)
                        color: bar.problemText === "" ? "white" : bar.playbackFailed ? Theme.red : Theme.orange
                        maximumLineCount: 1
                        elide: Text.ElideRight
                        horizontalAlignment: Text.AlignLeft
                    }
                    EqualizerBars {
                        id: bars
                        objectName: "playingBars"
                        anchors.verticalCenter: parent.verticalCenter
                        width: 16
                        height: 12
                        visible: bar.isPlaying && bar.problemText === ""
                        tint: root.themeColor
                    }
                }
            }

            PlainButton {
                objectName: "playPauseButton"
                Layout.preferredWidth: 42
                Layout.preferredHeight: 42
                Layout.alignment: Qt.AlignVCenter
                focusRingRadius: 24
                Accessible.name: bar.buttonState === MiniPlayerBarModel.Pause ? "مکث" : "پخش"
                onClicked: bar.togglePlayPause()

                contentItem: Item {
                    Rectangle {
                        anchors.fill: parent
                        radius: width / 2
                        color: Qt.rgba(1, 1, 1, 0.1)
                    }
                    ProgressView {
                        objectName: "bufferingSpinner"
                        anchors.centerIn: parent
                        visible: bar.buttonState === MiniPlayerBarModel.Spinner
                        tint: "white"
                    }
                    SymbolImage {
                        objectName: "playPauseGlyph"
                        anchors.centerIn: parent
                        visible: bar.buttonState !== MiniPlayerBarModel.Spinner
                        symbol: bar.buttonState === MiniPlayerBarModel.Pause ? "pause.fill" : "play.fill"
                        size: 17
                        color: "white"
                    }
                }
            }
        }
    }
}
