import QtQuick
import QtQuick.Controls
import QtQuick.Shapes
import Melodrift

// One track of a playlist: the play button (number, artwork, title, artist, duration), the
// download control and the menu button; under them, after a failed download, why it failed
// (spoken as it appears). A right click or a long press on the row offers "حذف"
// and "ویرایش"; on the focused play button the menu key or Shift+F10 opens the same menu and
// Delete asks to remove the track.
//     PlaylistTrackRow { track: row; downloadState: state; onPlayRequested: ... }
Item {
    id: row

    // {number, title, artist, artworkURL, durationText}
    property var track
    // {control: PlaylistDetailViewModel.DownloadControl, progress, percentText, error}
    property var downloadState
    // Where the row stands in its list ("3 از 3000"), for assistive technology.
    property string positionText

    signal playRequested()
    signal downloadRequested()
    signal editRequested()
    signal deleteRequested()

    readonly property int control: downloadState ? downloadState.control : PlaylistDetailViewModel.Available
    readonly property real progress: downloadState ? downloadState.progress : 0
    readonly property string downloadError: downloadState && downloadState.error ? downloadState.error : ""

    implicitHeight: band.height + (downloadError !== "" ? errorLine.height + 10 : 0)

    Rectangle {
        anchors.fill: parent
        radius: 14
        color: Qt.rgba(1, 1, 1, 0.04)
    }

    // The controls' line.
    Item {
        id: band
        width: parent.width
        height: 64
    }

    ButtonBase {
        id: playButton
        objectName: "playButton"
        anchors.left: parent.left
        anchors.leftMargin: 10
        anchors.right: downloadButton.left
        anchors.rightMargin: 12
        anchors.verticalCenter: band.verticalCenter
        height: 44
        hoverEnabled: true
        opacity: pressed ? 0.55 : 1.0
        // The number and the duration stand at its ends: the ring keeps clear of them.
        focusRing.horizontalGap: 7
        Accessible.name: row.track ? row.track.title + "، " + row.track.artist : ""
        Accessible.description: [row.positionText, row.track ? row.track.durationText : ""]
                                .filter(part => part !== "").join("، ")
        Keys.onDeletePressed: row.deleteRequested()
        onClicked: row.playRequested()

        ContextMenu {
            id: swipeMenu
            entries: () => [
                { text: "حذف", symbol: "trash", destructive: true, action: () => row.deleteRequested() },
                { text: "ویرایش", symbol: "pencil", action: () => row.editRequested() }
            ]
        }

        contentItem: TrackLine {
            number: row.track ? row.track.number : ""
            title: row.track ? row.track.title : ""
            artist: row.track ? row.track.artist : ""
            trailingGap: 8
            picture: ArtworkImage {
                urlString: row.track ? row.track.artworkURL : undefined
                cornerRadius: 8
            }
            trailing: Text {
                textFormat: Text.PlainText
                text: row.track ? row.track.durationText : ""
                font: Theme.caption2
                color: Qt.rgba(1, 1, 1, 0.4)
            }
        }
    }

    // The download control: the ring while downloading, the mark when downloaded, else the arrow.
    ButtonBase {
        id: downloadButton
        objectName: "downloadButton"
        anchors.right: menuButton.left
        anchors.rightMargin: 12
        anchors.verticalCenter: band.verticalCenter
        width: 30
        height: 30
        hoverEnabled: true
        opacity: pressed ? 0.55 : 1.0
        // Named with its track: every row has one.
        Accessible.name: (row.control === PlaylistDetailViewModel.Progress ? "لغو دانلود "
                          : row.control === PlaylistDetailViewModel.Downloaded ? "حذف دانلود " : "دانلود آفلاین ")
                         + (row.track ? row.track.title : "")
        Accessible.description: row.downloadError
        onClicked: row.downloadRequested()

        contentItem: Item {
            Item {
                objectName: "progressRing"
                anchors.fill: parent
                visible: row.control === PlaylistDetailViewModel.Progress

                Rectangle {
                    anchors.fill: parent
                    anchors.margins: 3
                    radius: width / 2
                    color: "transparent"
                    border.width: 2
                    border.color: Qt.rgba(1, 1, 1, 0.15)
                }
                Shape {
                    anchors.fill: parent
                    anchors.margins: 3
                    ShapePath {
                        strokeColor: Theme.green
                        strokeWidth: 2
                        fillColor: "transparent"
                        capStyle: ShapePath.RoundCap
                        PathAngleArc {
                            centerX: 12
                            centerY: 12
                            radiusX: 11
                            radiusY: 11
                            startAngle: -90
                            // Drawn clockwise from the top whatever the layout direction.
                            sweepAngle: 360 * Math.max(0, Math.min(1, row.progress))
                        }
                    }
                }
                Text {
                    textFormat: Text.PlainText
                    anchors.centerIn: parent
                    text: row.downloadState ? row.downloadState.percentText : ""
                    font.family: Theme.fontFamily
                    font.pixelSize: 8
                    font.bold: true
                    color: "white"
                }
            }
            SymbolImage {
                anchors.centerIn: parent
                visible: row.control !== PlaylistDetailViewModel.Progress
                symbol: row.control === PlaylistDetailViewModel.Downloaded ? "checkmark.circle.fill" : "arrow.down.circle"
                size: 17
                color: row.control === PlaylistDetailViewModel.Downloaded ? Theme.green : Qt.rgba(1, 1, 1, 0.45)
            }
        }
    }

    ButtonBase {
        id: menuButton
        objectName: "menuButton"
        focusRingRadius: 16
        anchors.right: parent.right
        anchors.rightMargin: 10
        anchors.verticalCenter: band.verticalCenter
        width: 32
        height: 32
        hoverEnabled: true
        opacity: pressed ? 0.55 : 1.0
        Accessible.name: "گزینه‌های آهنگ " + (row.track ? row.track.title : "")
        onClicked: rowMenu.openAt(width / 2, height)

        contentItem: SymbolImage {
            symbol: "ellipsis"
            size: 14
            color: Qt.rgba(1, 1, 1, 0.45)
        }
        background: Rectangle {
            radius: width / 2
            color: Qt.rgba(1, 1, 1, 0.07)
        }

        ContextMenu {
            id: rowMenu
            entries: () => [
                { text: "ویرایش", symbol: "pencil", action: () => row.editRequested() },
                { text: "حذف", symbol: "trash", destructive: true, action: () => row.deleteRequested() }
            ]
        }
    }

    StaticText {
        id: errorLine
        objectName: "downloadError"
        anchors.top: band.bottom
        anchors.left: parent.left
        anchors.leftMargin: 10
        anchors.right: parent.right
        anchors.rightMargin: 10
        visible: row.downloadError !== ""
        text: row.downloadError
        font: Theme.withWeight(Theme.caption2, Font.Medium)
        color: Qt.rgba(Theme.red.r, Theme.red.g, Theme.red.b, 0.85)
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignLeft
    }
    Announcer {
        objectName: "downloadErrorAnnouncer"
        text: row.downloadError
    }
}
