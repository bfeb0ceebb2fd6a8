import QtQuick
import Melodrift

// The library tab's Spotify card: the link field (Enter does nothing), the paste and resolve
// buttons, the status line and the resolved playlist's preview with play and, signed in, save.
// Its state lives in `model`, so a card built again (a lazy list's row) shows it as it was.
//     SpotifyImportCard { width: column.width; model: SpotifyImportCardModel {} }
SectionCardFrame {
    id: card

    objectName: "spotifyImportCard"

    required property SpotifyImportCardModel model

    SymbolLabel {
        text: "ایمپورت از اسپاتیفای"
        symbol: "arrow.down.circle"
        font: Theme.headline
        color: Qt.rgba(1, 1, 1, 0.85)
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }

    Row {
        width: card.innerWidth
        spacing: 10

        SearchField {
            objectName: "linkField"
            width: parent.width - 2 * (46 + parent.spacing)
            anchors.verticalCenter: parent.verticalCenter
            placeholder: "لینک پلیلیست اسپاتیفای…"
            text: card.model.link
            onEdited: value => card.model.link = value
        }

        SearchButton {
            objectName: "pasteButton"
            anchors.verticalCenter: parent.verticalCenter
            symbol: "doc.on.clipboard"
            symbolSize: 20
            Accessible.name: "چسباندن"
            onClicked: card.model.pasteClipboard()
        }

        SearchButton {
            objectName: "resolveButton"
            anchors.verticalCenter: parent.verticalCenter
            symbol: "magnifyingglass"
            symbolSize: 16
            fill: Theme.accent
            busy: card.model.isLoading
            enabled: card.model.canResolve
            // Dimmed while there is no link to look up; at full strength, with its spinner, while
            // a look-up runs.
            restingOpacity: card.model.canResolve || card.model.isLoading ? 1.0 : 0.5
            Accessible.name: "جستجوی پلیلیست اسپاتیفای"
            onClicked: card.model.resolve()
        }
    }

    StaticText {
        objectName: "messageLine"
        width: card.innerWidth
        visible: card.model.message !== ""
        text: card.model.message
        font: Theme.footnote
        color: Qt.rgba(1, 1, 1, 0.6)
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignLeft
    }

    // The preview.
    Rectangle {
        objectName: "preview"
        width: card.innerWidth
        height: preview.implicitHeight + 24
        visible: card.model.hasEntity
        radius: 18
        color: Qt.rgba(1, 1, 1, 0.05)

        Column {
            id: preview
            x: 12
            y: 12
            width: parent.width - 24
            spacing: 12

            Row {
                width: parent.width
                spacing: 12

                ArtworkImage {
                    width: 58
                    height: 58
                    anchors.verticalCenter: parent.verticalCenter
                    urlString: card.model.coverURL
                    cornerRadius: 12
                }

                Column {
                    width: parent.width - 58 - parent.spacing
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 3

                    StaticText {
                        objectName: "previewTitle"
                        width: parent.width
                        text: card.model.entityTitle
                        font: Theme.withWeight(Theme.subheadline, Font.Bold)
                        color: "white"
                        maximumLineCount: 2
                        wrapMode: Text.Wrap
                        elide: Text.ElideRight
                        horizontalAlignment: Text.AlignLeft
                    }
                    StaticText {
                        objectName: "previewDetail"
                        width: parent.width
                        text: card.model.entityDetail
                        font: Theme.caption
                        color: Qt.rgba(1, 1, 1, 0.55)
                        elide: Text.ElideRight
                        horizontalAlignment: Text.AlignLeft
                    }
                }
            }

            Row {
                id: actions
                width: parent.width
                spacing: 10

                readonly property real buttonWidth: card.model.canSave ? (width - spacing) / 2 : width

                PreviewButton {
                    objectName: "playButton"
                    width: actions.buttonWidth
                    text: "پخش"
                    symbol: "play.fill"
                    color: "black"
                    fill: "white"
                    onClicked: card.model.play()
                }

                PreviewButton {
                    objectName: "saveButton"
                    width: actions.buttonWidth
                    visible: card.model.canSave
                    text: "ذخیره"
                    symbol: "square.and.arrow.down"
                    color: "white"
                    fill: Qt.rgba(1, 1, 1, 0.10)
                    onClicked: card.model.save()
                }
            }
        }
    }

    component PreviewButton: ButtonBase {
        id: control

        property string symbol
        property color color
        property color fill

        topPadding: 11
        bottomPadding: 11
        focusRingRadius: 15
        opacity: pressed ? 0.55 : 1.0

        background: Rectangle {
            radius: 12
            color: control.fill
        }

        contentItem: Item {
            implicitHeight: label.implicitHeight
            SymbolLabel {
                id: label
                anchors.centerIn: parent
                text: control.text
                symbol: control.symbol
                font: Theme.withWeight(Theme.subheadline, Font.Bold)
                color: control.color
            }
        }
    }
}
