import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Melodrift

// The full player's rows that drive playback, top to bottom: the seek bar with the elapsed and
// total times (the red live badge in its place while a live stream plays), the transport buttons
// (back 10 s, previous, play/pause, next, forward 10 s) and the volume slider.
//     PlayerTransport { model: screen; Layout.fillWidth: true }
// The seek bar, the buttons and the volume run left to right inside the right-to-left screen;
// Tab still moves through the buttons from the right.
ColumnLayout {
    id: root

    property FullPlayerViewModel model
    readonly property bool compact: model.compact

    spacing: 0

    // A slider of the player: a thin white track, filled up to a round white thumb.
    component TintedSlider: ValueSlider {
        id: slider
        tint: "white"
        background: Item {
            x: slider.leftPadding
            width: slider.availableWidth
            height: slider.height
            Rectangle {
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width
                height: 4
                radius: 2
                color: Qt.rgba(1, 1, 1, 0.2)
                Rectangle {
                    width: slider.visualPosition * parent.width
                    height: parent.height
                    radius: 2
                    color: slider.tint
                }
            }
        }
        handle: Rectangle {
            x: slider.leftPadding + slider.visualPosition * (slider.availableWidth - width)
            y: slider.topPadding + (slider.availableHeight - height) / 2
            width: slider.pressed ? 18 : 14
            height: width
            radius: width / 2
            color: slider.tint
        }
    }

    // Where a skip of ten seconds or a restart of the track landed, as the seek bar shows it
    // (which is not announced as it follows the clock).
    function tellPosition(button) {
        Announcements.announce(button, root.model.elapsedText + " از " + root.model.totalText)
    }

    // A transport button: a symbol in white, dimmed by the row itself while disabled.
    component TransportButton: PlainButton {
        id: button
        property real size: 24
        // The glyph is the look; a little room around it makes it easier to hit.
        implicitWidth: glyph.implicitWidth + 8
        implicitHeight: 44
        opacity: pressed ? 0.55 : 1.0
        contentItem: SymbolImage {
            id: glyph
            symbol: button.symbol
            size: button.size
            color: button.enabled ? "white" : Qt.rgba(1, 1, 1, 0.25)
        }
    }

    // While a live stream plays: the red live badge.
    Rectangle {
        objectName: "liveBadge"
        visible: RadioPlayer.isLive
        Layout.alignment: Qt.AlignHCenter
        Layout.topMargin: root.compact ? 12 : 18
        implicitWidth: badgeRow.implicitWidth + 26
        implicitHeight: badgeRow.implicitHeight + 12
        radius: height / 2
        color: Qt.rgba(Theme.red.r, Theme.red.g, Theme.red.b, 0.12)

        Row {
            id: badgeRow
            anchors.centerIn: parent
            spacing: 6
            Rectangle {
                anchors.verticalCenter: parent.verticalCenter
                width: 7
                height: 7
                radius: 3.5
                color: Theme.red
            }
            StaticText {
                anchors.verticalCenter: parent.verticalCenter
                text: "پخش زنده"
                font: Theme.withWeight(Theme.caption, Font.Bold)
                color: Theme.red
            }
        }
    }

    // Otherwise: the seek bar and its times.
    ColumnLayout {
        objectName: "progressRow"
        visible: !RadioPlayer.isLive
        Layout.fillWidth: true
        Layout.topMargin: root.compact ? 12 : 18
        spacing: 6
        LayoutMirroring.enabled: false
        LayoutMirroring.childrenInherit: true

        TintedSlider {
            objectName: "seekSlider"
            Layout.fillWidth: true
            from: 0
            to: root.model.seekMaximum
            modelValue: RadioPlayer.currentTime
            stepSize: 5
            followsClock: true
            Accessible.name: "موقعیت پخش"
            // Every value of a drag seeks at once, as does a value set by assistive technology.
            onMoved: RadioPlayer.seek(value)
        }
        RowLayout {
            Layout.fillWidth: true
            StaticText {
                objectName: "elapsedText"
                text: root.model.elapsedText
                font: Theme.caption2
                color: Qt.rgba(1, 1, 1, 0.5)
            }
            Item { Layout.fillWidth: true }
            StaticText {
                objectName: "totalText"
                text: root.model.totalText
                font: Theme.caption2
                color: Qt.rgba(1, 1, 1, 0.5)
            }
        }
    }

    // The buttons, left to right: back 10 s, previous, play/pause, next, forward 10 s. Declared
    // from the right so that Tab meets them in the screen's reading order.
    RowLayout {
        objectName: "transportRow"
        Layout.alignment: Qt.AlignHCenter
        Layout.topMargin: root.compact ? 14 : 22
        LayoutMirroring.enabled: false
        LayoutMirroring.childrenInherit: true
        layoutDirection: Qt.RightToLeft
        spacing: root.compact ? 18 : 26

        TransportButton {
            id: forwardButton
            objectName: "forwardButton"
            symbol: "goforward.10"
            size: root.compact ? 21 : 24
            enabled: root.model.canSkipSeconds
            Accessible.name: "جلو"
            onClicked: {
                RadioPlayer.skip(10)
                Qt.callLater(root.tellPosition, forwardButton)
            }
        }
        TransportButton {
            objectName: "nextButton"
            symbol: "forward.fill"
            size: root.compact ? 22 : 26
            enabled: root.model.canSkipTracks
            Accessible.name: "آهنگ بعدی"
            onClicked: RadioPlayer.nextTrack()
        }
        ScaleButtonStyle {
            objectName: "playPauseButton"
            implicitWidth: root.model.playSize
            implicitHeight: root.model.playSize
            focusRingRadius: width / 2
            Accessible.name: root.model.playPauseName
            onClicked: RadioPlayer.togglePlayPause()
            contentItem: Item {
                SoftShadow {
                    anchors.fill: parent
                    radius: width / 2
                    color: Qt.rgba(0, 0, 0, 0.4)
                    blur: 16
                    offsetY: 6
                }
                Rectangle {
                    anchors.fill: parent
                    radius: width / 2
                    color: "white"
                }
                ProgressView {
                    anchors.centerIn: parent
                    visible: root.model.showsSpinner
                    tint: "black"
                    scale: 1.05
                }
                SymbolImage {
                    anchors.centerIn: parent
                    visible: !root.model.showsSpinner
                    symbol: root.model.playSymbol
                    size: root.model.playSize * 0.38
                    color: "black"
                }
            }
        }
        TransportButton {
            id: previousButton
            objectName: "previousButton"
            symbol: "backward.fill"
            size: root.compact ? 22 : 26
            enabled: root.model.canSkipTracks
            Accessible.name: "آهنگ قبلی"
            // Past its first seconds the track starts again instead: no new track is spoken of
            // then, so where it is now is.
            onClicked: {
                let changedTrack = false
                const noteChange = () => { changedTrack = true }
                RadioPlayer.currentStationChanged.connect(noteChange)
                RadioPlayer.previousTrack()
                RadioPlayer.currentStationChanged.disconnect(noteChange)
                if (!changedTrack)
                    Qt.callLater(root.tellPosition, previousButton)
            }
        }
        TransportButton {
            id: backwardButton
            objectName: "backwardButton"
            symbol: "gobackward.10"
            size: root.compact ? 21 : 24
            enabled: root.model.canSkipSeconds
            Accessible.name: "عقب"
            onClicked: {
                RadioPlayer.skip(-10)
                Qt.callLater(root.tellPosition, backwardButton)
            }
        }
    }

    // The volume, quiet end at the left.
    RowLayout {
        objectName: "volumeRow"
        Layout.fillWidth: true
        Layout.topMargin: root.compact ? 14 : 22
        Layout.leftMargin: 6
        Layout.rightMargin: 6
        LayoutMirroring.enabled: false
        LayoutMirroring.childrenInherit: true
        spacing: 12

        SymbolImage {
            symbol: "speaker.fill"
            size: 12
            color: Qt.rgba(1, 1, 1, 0.45)
        }
        TintedSlider {
            objectName: "volumeSlider"
            Layout.fillWidth: true
            tint: Qt.rgba(1, 1, 1, 0.85)
            // In percent, as assistive technology reads it; the player's volume is 0 to 1.
            from: 0
            to: 100
            modelValue: RadioPlayer.volume * 100
            stepSize: 5
            Accessible.name: "بلندی صدا"
            onMoved: RadioPlayer.volume = value / 100
        }
        SymbolImage {
            symbol: "speaker.wave.3.fill"
            size: 12
            color: Qt.rgba(1, 1, 1, 0.45)
        }
    }
}
