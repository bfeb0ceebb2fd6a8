import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.Shapes
import Melodrift

// The song-recognition sheet, presented by the home screen:
//     Sheet { presenter: home; flag: "showShazam"; ShazamView {} }
// It shows the recognition manager's state: the listening rings, the listen button, the status
// line (announced to assistive technology as it changes), the recognised track with
// "پخش در رادیو", and "تلاش دوباره" after an error. Asked for by a shortcut or the custom
// address, it starts listening by itself 0.8 s after it is shown.
NavigationPage {
    id: page
    objectName: "shazamView"

    signal dismissRequested()

    readonly property color purple: Qt.rgba(0.63, 0.38, 0.96, 1)

    navigationTitle: "تشخیص آهنگ"
    toolbarLeading: Component {
        PlainButton {
            objectName: "closeButton"
            text: "بستن"
            color: Qt.rgba(1, 1, 1, 0.7)
            onClicked: page.dismissRequested()
        }
    }

    ShazamViewModel {
        id: model
    }
    Component.onCompleted: model.appear()
    Component.onDestruction: model.disappear()

    // The status line's changes, told to assistive technology as they happen.
    Announcer {
        objectName: "statusAnnouncer"
        text: model.statusText
    }

    Flickable {
        id: flick
        anchors.fill: parent
        contentWidth: width
        contentHeight: content.y + content.height
        boundsBehavior: Flickable.StopAtBounds
        clip: true

        ColumnLayout {
            id: content
            x: 24
            y: 16
            width: flick.width - 48
            // In a scroll view the flexible spaces keep their least height: the content is packed
            // at the top.
            height: implicitHeight
            spacing: 26

            StaticText {
                objectName: "subtitle"
                Layout.fillWidth: true
                text: "میکروفون را نزدیک منبع صدا بگیر و دکمه را لمس کن"
                font: Theme.footnote
                color: Qt.rgba(1, 1, 1, 0.55)
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
            }

            Item { Layout.preferredHeight: 10 }

            // ---- the listening area
            Item {
                id: area
                objectName: "listeningArea"
                Layout.fillWidth: true
                Layout.preferredHeight: 250

                // Pulse rings: each grows to 1.75 and fades out over 1.4 s, the second 0.45 s
                // after the first, stepped at a modest rate and only while listening is seen.
                Repeater {
                    model: model.isListening ? 2 : 0
                    Rectangle {
                        required property int index
                        objectName: "pulseRing" + index
                        readonly property real t: pulse.progress(index)
                        anchors.centerIn: parent
                        width: 132
                        height: 132
                        radius: 66
                        color: "transparent"
                        border.color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.45)
                        border.width: 2.5
                        scale: 1 + 0.75 * t
                        opacity: 0.85 * (1 - t)
                    }
                }
                Timer {
                    id: pulse
                    property real elapsed: 0
                    // Ease-out progress of ring i at the current time (0 before its first start).
                    function progress(i) {
                        const since = elapsed - i * 450
                        if (since < 0)
                            return 0
                        const x = (since % 1400) / 1400
                        return 1 - (1 - x) * (1 - x)
                    }
                    interval: 100
                    repeat: true
                    running: model.isListening && area.visible && page.Window.visibility !== Window.Hidden
                             && page.Window.visibility !== Window.Minimized
                    onRunningChanged: if (running) elapsed = 0
                    onTriggered: elapsed += interval
                }

                Rectangle {
                    objectName: "restingRing"
                    visible: !model.isListening && !model.isProcessing
                    anchors.centerIn: parent
                    width: 146
                    height: 146
                    radius: 73
                    color: "transparent"
                    border.color: Qt.rgba(1, 1, 1, 0.12)
                    border.width: 1
                }

                SoftShadow {
                    anchors.fill: listenButton
                    visible: !model.isBusy
                    radius: 58
                    color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.5)
                    blur: 20
                    offsetY: 8
                }

                PlainButton {
                    id: listenButton
                    objectName: "listenButton"
                    anchors.centerIn: parent
                    width: 116
                    height: 116
                    focus: true
                    enabled: !model.isBusy
                    opacity: pressed ? 0.55 : 1.0
                    Accessible.name: "شروع شناسایی آهنگ"
                    onClicked: model.listen()

                    contentItem: Item {
                        Shape {
                            anchors.fill: parent
                            ShapePath {
                                strokeWidth: -1
                                // From the top leading corner (the right) to the bottom trailing one.
                                fillGradient: LinearGradient {
                                    x1: 116; y1: 0
                                    x2: 0; y2: 116
                                    GradientStop {
                                        position: 0
                                        color: model.isBusy ? Qt.rgba(0.56, 0.56, 0.58, 0.5) : Theme.accent
                                    }
                                    GradientStop {
                                        position: 1
                                        color: model.isBusy ? Qt.rgba(0.56, 0.56, 0.58, 0.35) : page.purple
                                    }
                                }
                                PathAngleArc {
                                    centerX: 58; centerY: 58
                                    radiusX: 58; radiusY: 58
                                    startAngle: 0
                                    sweepAngle: 360
                                }
                            }
                        }
                        ProgressView {
                            objectName: "processingSpinner"
                            anchors.centerIn: parent
                            visible: model.isProcessing || model.isStarting
                            tint: "white"
                            scale: 1.2
                        }
                        SymbolImage {
                            objectName: "buttonSymbol"
                            anchors.centerIn: parent
                            visible: !model.isProcessing && !model.isStarting
                            symbol: model.buttonSymbol
                            size: 44
                            color: "white"
                        }
                    }
                }
            }

            // ---- the status line; its changes are announced to assistive technology
            StaticText {
                id: statusLine
                objectName: "statusLine"
                Layout.fillWidth: true
                text: model.statusText
                font: Theme.withWeight(Theme.subheadline, Font.Medium)
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                color: {
                    switch (model.status) {
                    case ShazamViewModel.Listening: return Theme.accent
                    case ShazamViewModel.Starting:
                    case ShazamViewModel.Processing: return Qt.rgba(1, 1, 1, 0.7)
                    case ShazamViewModel.Error: return Theme.red
                    case ShazamViewModel.Ready: return Qt.rgba(1, 1, 1, 0.45)
                    }
                    return Theme.green
                }
            }


            Item { Layout.preferredHeight: 10 }

            // ---- the recognised track
            Rectangle {
                objectName: "resultCard"
                visible: model.hasResult
                Layout.fillWidth: true
                Layout.preferredHeight: card.implicitHeight + 40
                radius: 22
                color: Qt.rgba(1, 1, 1, 0.05)
                border.color: Qt.rgba(1, 1, 1, 0.1)
                border.width: 0.8

                Column {
                    id: card
                    x: 20
                    y: 20
                    width: parent.width - 40
                    spacing: 14

                    Item {
                        width: 132
                        height: 132
                        anchors.horizontalCenter: parent.horizontalCenter
                        SoftShadow {
                            anchors.fill: parent
                            radius: 16
                            color: Qt.rgba(0, 0, 0, 0.4)
                            blur: 12
                            offsetY: 6
                        }
                        ArtworkImage {
                            anchors.fill: parent
                            urlString: model.resultArtworkURL
                            cornerRadius: 16
                        }
                    }

                    Column {
                        width: parent.width
                        spacing: 6
                        StaticText {
                            objectName: "resultTitle"
                            width: parent.width
                            text: model.resultTitle
                            font: Theme.withWeight(Theme.title3, Font.Bold)
                            color: "white"
                            wrapMode: Text.Wrap
                            horizontalAlignment: Text.AlignHCenter
                        }
                        StaticText {
                            objectName: "resultArtist"
                            width: parent.width
                            text: model.resultArtist
                            font: Theme.subheadline
                            color: Theme.accent
                            wrapMode: Text.Wrap
                            horizontalAlignment: Text.AlignHCenter
                        }
                        StaticText {
                            objectName: "resultGenre"
                            visible: model.resultGenre !== ""
                            width: parent.width
                            text: model.resultGenre
                            font: Theme.caption
                            color: Qt.rgba(1, 1, 1, 0.5)
                            horizontalAlignment: Text.AlignHCenter
                        }
                    }

                    ScaleButtonStyle {
                        id: playButton
                        objectName: "playOnRadioButton"
                        width: parent.width
                        text: "پخش در رادیو"
                        Accessible.name: text
                        onClicked: {
                            model.playResult()
                            page.dismissRequested()
                        }
                        contentItem: Item {
                            implicitHeight: playLabel.implicitHeight + 28
                            SoftShadow {
                                anchors.fill: parent
                                radius: 16
                                color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.4)
                                blur: 12
                                offsetY: 5
                            }
                            Rectangle {
                                anchors.fill: parent
                                radius: 16
                                // Leading (the right) to trailing.
                                gradient: Gradient {
                                    orientation: Gradient.Horizontal
                                    GradientStop { position: 0; color: page.purple }
                                    GradientStop { position: 1; color: Theme.accent }
                                }
                            }
                            SymbolLabel {
                                id: playLabel
                                anchors.centerIn: parent
                                text: playButton.text
                                symbol: "play.fill"
                                font: Theme.headline
                                color: "white"
                            }
                        }
                    }
                }
            }

            ProminentButton {
                objectName: "retryButton"
                visible: model.hasError
                Layout.alignment: Qt.AlignHCenter
                text: "تلاش دوباره"
                tint: Theme.accent
                onClicked: model.retry()
            }

            Item { Layout.preferredHeight: 20 }
        }
    }
}
