import QtQuick
import QtQuick.Controls
import QtQuick.Shapes
import Melodrift

// The full player's footer: the round offline-download button (only for a rotation's track) and
// the wide Telegram button with its error line. The offline store's last error, or the failure
// of this track's download, is the full player's to show, under the footer. `station` is the station the full player shows (none: the
// player's current one).
Item {
    id: footer

    property var station: null

    // The footer's state and actions (hosts and screenshots drive it through this).
    readonly property alias footerModel: model

    implicitWidth: 360
    implicitHeight: layout.height

    PlayerFooterModel {
        id: model
        station: footer.station
    }

    Column {
        id: layout
        width: parent.width
        spacing: 6

        Item {
            width: parent.width
            height: Math.max(downloadButton.visible ? downloadButton.height : 0, telegram.height)

            PlainButton {
                id: downloadButton
                objectName: "downloadButton"
                anchors.left: parent.left
                anchors.verticalCenter: parent.verticalCenter
                visible: model.showsDownloadButton
                width: 46
                height: 46
                focusRingRadius: width / 2
                Accessible.name: model.downloadActionName
                // The percentage it shows while running; after a failure, why it failed.
                Accessible.description: model.percentText !== "" ? model.percentText + "٪" : model.downloadError
                onClicked: model.tapDownload()

                contentItem: Item {
                    Rectangle {
                        anchors.fill: parent
                        radius: width / 2
                        color: Qt.rgba(1, 1, 1, 0.07)
                    }

                    // Running: a faint ring, the done part in green from the top, clockwise, and
                    // the whole percentage in the middle.
                    Item {
                        anchors.fill: parent
                        visible: model.downloadState === PlayerFooterModel.Running
                        Shape {
                            anchors.fill: parent
                            ShapePath {
                                strokeColor: Qt.rgba(1, 1, 1, 0.12)
                                strokeWidth: 2.5
                                fillColor: "transparent"
                                PathAngleArc {
                                    centerX: 23; centerY: 23
                                    radiusX: 21.75; radiusY: 21.75
                                    startAngle: 0
                                    sweepAngle: 360
                                }
                            }
                            ShapePath {
                                strokeColor: Theme.green
                                strokeWidth: 2.5
                                fillColor: "transparent"
                                capStyle: ShapePath.RoundCap
                                PathAngleArc {
                                    centerX: 23; centerY: 23
                                    radiusX: 21.75; radiusY: 21.75
                                    startAngle: -90
                                    sweepAngle: 360 * model.progress
                                }
                            }
                        }
                        Text {
                            textFormat: Text.PlainText
                            objectName: "percentText"
                            anchors.centerIn: parent
                            text: model.percentText
                            font: Theme.font(11, Font.Bold)
                            color: "white"
                        }
                    }
                    SymbolImage {
                        anchors.centerIn: parent
                        visible: model.downloadState === PlayerFooterModel.Downloaded
                        symbol: "checkmark.circle.fill"
                        size: 21
                        color: Theme.green
                    }
                    SymbolImage {
                        anchors.centerIn: parent
                        visible: model.downloadState === PlayerFooterModel.Idle
                        symbol: "arrow.down.circle"
                        size: 21
                        color: Qt.rgba(1, 1, 1, 0.7)
                    }
                }
            }

            Column {
                id: telegram
                anchors.left: downloadButton.visible ? downloadButton.right : parent.left
                anchors.leftMargin: downloadButton.visible ? 10 : 0
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                spacing: 6

                PlainButton {
                    id: telegramButton
                    objectName: "telegramButton"
                    width: parent.width
                    enabled: model.telegramEnabled
                    Accessible.name: model.telegramTitle
                    onClicked: model.requestTelegramLink()
                    topPadding: 13
                    bottomPadding: 13
                    focusRingRadius: 14
                    background: Rectangle {
                        radius: 14
                        color: Qt.rgba(0.15, 0.55, 0.95, 1)
                    }
                    contentItem: Item {
                        implicitHeight: Math.max(telegramLabel.implicitHeight, 20)
                        Row {
                            anchors.centerIn: parent
                            spacing: 8
                            ProgressView {
                                visible: model.telegramLoading
                                tint: "white"
                                anchors.verticalCenter: parent.verticalCenter
                            }
                            SymbolImage {
                                visible: !model.telegramLoading
                                symbol: "arrow.down.circle.fill"
                                size: 15
                                color: "white"
                                anchors.verticalCenter: parent.verticalCenter
                            }
                            Text {
                                id: telegramLabel
                                textFormat: Text.PlainText
                                text: model.telegramTitle
                                font: Theme.withWeight(Theme.subheadline, Font.DemiBold)
                                color: "white"
                                anchors.verticalCenter: parent.verticalCenter
                            }
                        }
                    }
                }

                StaticText {
                    objectName: "telegramError"
                    width: parent.width
                    visible: model.telegramError !== ""
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.WordWrap
                    text: model.telegramError
                    font: Theme.caption2
                    color: Qt.rgba(1, 1, 1, 0.6)
                }
            }
        }
    }
}
