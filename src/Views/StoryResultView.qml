import QtQuick
import QtMultimedia
import Melodrift

// A finished story: its preview, and three buttons to start over, share and save. It renders,
// shares and saves nothing itself; the story sheet owns the actions, the saved mark and the one
// preview player, which this view only shows.
//     StoryResultView { url: model.videoURL; player: model.previewPlayer; savedFlag: model.savedToLibrary
//                       onRegenerate: ...; onShare: ...; onSave: ... }
Column {
    id: root

    property url url
    property var player: null
    property bool savedFlag: false

    signal regenerate()
    signal share()
    signal save()

    spacing: 14

    Rectangle {
        id: preview
        objectName: "preview"
        width: root.width
        height: 360
        radius: 18
        color: "black"
        clip: true

        // VideoOutput draws only through the GPU scene graph; the software renderer gets the
        // frames painted as images.
        readonly property bool software: GraphicsInfo.api === GraphicsInfo.Software
        VideoOutput {
            id: output
            anchors.fill: parent
            anchors.margins: 1
            visible: !parent.software
            fillMode: VideoOutput.PreserveAspectFit
        }
        VideoFramePicture {
            id: picture
            objectName: "framePicture"
            anchors.fill: parent
            anchors.margins: 1
            visible: parent.software
        }
        Rectangle {
            anchors.fill: parent
            radius: 18
            color: "transparent"
            border.width: 1
            border.color: Qt.rgba(1, 1, 1, 0.1)
        }
        Accessible.role: Accessible.Animation
        Accessible.name: "پیش‌نمایش ویدیو"
    }

    Binding {
        when: root.player !== null
        target: root.player
        property: "videoOutput"
        value: preview.software ? picture.videoSink : output
    }

    Row {
        id: actions
        width: root.width
        spacing: 10

        PlainButton {
            objectName: "regenerateButton"
            // A render that ends leaves the focus here, where the result begins.
            claimsFocus: true
            width: 48
            height: 48
            background: Rectangle { radius: 24; color: Qt.rgba(1, 1, 1, 0.08) }
            contentItem: SymbolImage { symbol: "arrow.counterclockwise"; size: 17; color: Qt.rgba(1, 1, 1, 0.8) }
            Accessible.name: "ساخت دوباره"
            onClicked: root.regenerate()
        }

        PlainButton {
            objectName: "shareButton"
            width: actions.width - 2 * 48 - 2 * actions.spacing
            height: 48
            font: Theme.headline
            background: Rectangle { radius: 14; color: Theme.accent }
            contentItem: SymbolLabel {
                text: "اشتراکگذاری"
                symbol: "square.and.arrow.up"
                font: Theme.headline
                color: "white"
            }
            Accessible.name: "اشتراکگذاری"
            onClicked: root.share()
        }

        PlainButton {
            objectName: "saveButton"
            width: 48
            height: 48
            background: Rectangle { radius: 24; color: Qt.rgba(1, 1, 1, 0.08) }
            contentItem: SymbolImage {
                symbol: root.savedFlag ? "checkmark.circle.fill" : "square.and.arrow.down"
                size: 17
                color: root.savedFlag ? Theme.green : Qt.rgba(1, 1, 1, 0.8)
            }
            Accessible.name: root.savedFlag ? "ذخیره شد" : "ذخیره در پوشهٔ ویدیوها"
            onClicked: if (!root.savedFlag) root.save()
        }
    }
}
