import QtQuick
import QtQuick.Controls
import Melodrift
import MelodriftGallery

// A page that shows the screen kit at work, for review (scripts/screenshots.sh renders it):
// text styles, buttons, the progress spinner, the playing indicator, the tinted backdrop, a context menu,
// a pushed page, a sheet and the full-screen cover.
NavigationPage {
    id: gallery

    property bool showSheet: false
    property bool showCover: false
    property color tint: Theme.accent

    navigationTitle: "ابزار صفحه‌ها"
    toolbarTrailing: Component {
        PlainButton {
            symbol: "mic.fill"
            symbolSize: 20
            color: Theme.accent
            Accessible.name: "تشخیص آهنگ"
            onClicked: ShazamManager.requestOpen(false)
        }
    }

    KitGalleryModel { id: model }

    readonly property var textStyles: [
        { name: "largeTitle", font: Theme.largeTitle },
        { name: "title", font: Theme.title },
        { name: "title2", font: Theme.title2 },
        { name: "title3", font: Theme.title3 },
        { name: "headline", font: Theme.headline },
        { name: "body", font: Theme.body },
        { name: "callout", font: Theme.callout },
        { name: "subheadline", font: Theme.subheadline },
        { name: "footnote", font: Theme.footnote },
        { name: "caption", font: Theme.caption },
        { name: "caption2", font: Theme.caption2 }
    ]

    HarmonicTint {
        anchors.fill: parent
        tint: gallery.tint
        artworkKey: "demo"
    }

    Flickable {
        anchors.fill: parent
        contentHeight: column.height + 40
        clip: true

        Column {
            id: column
            x: 16
            y: 8
            width: parent.width - 32
            spacing: 10

            Repeater {
                model: gallery.textStyles
                // Rows in the column are as wide as it: in a right-to-left window they then start at
                // the right edge (a Row in a Column is not placed by mirroring).
                Row {
                    required property var modelData
                    width: column.width
                    spacing: 10
                    Text {
                        id: sample
                        textFormat: Text.PlainText
                        text: "رادیو ملودریفت، ۱۲ آهنگ"
                        font: modelData.font
                        color: Theme.label
                    }
                    Text {
                        textFormat: Text.PlainText
                        y: sample.baselineOffset - baselineOffset
                        text: modelData.name
                        font: Theme.caption2
                        color: Theme.secondaryLabel
                    }
                }
            }

            Row {
                width: column.width
                spacing: 16
                ProminentButton {
                    text: "تلاش دوباره"
                    onClicked: gallery.showSheet = true
                }
                PlainButton {
                    text: "پخش همه"
                    symbol: "play.fill"
                    font: Theme.subheadline
                    anchors.verticalCenter: parent.verticalCenter
                    onClicked: gallery.showCover = true
                }
                ScaleButtonStyle {
                    anchors.verticalCenter: parent.verticalCenter
                    contentItem: Rectangle {
                        implicitWidth: liveLabel.implicitWidth + 40
                        implicitHeight: liveLabel.implicitHeight + 16
                        radius: height / 2
                        color: "white"
                        SymbolLabel {
                            id: liveLabel
                            anchors.centerIn: parent
                            text: "پخش زنده"
                            symbol: "play.fill"
                            font: Theme.withWeight(Theme.subheadline, Font.Bold)
                            color: "black"
                        }
                    }
                    onClicked: gallery.navigationStack && gallery.navigationStack.push(pushedPage)
                }
            }

            Row {
                width: column.width
                spacing: 24
                ProgressView { tint: "white"; anchors.verticalCenter: parent.verticalCenter }
                EqualizerBars { tint: "white"; anchors.verticalCenter: parent.verticalCenter }
                EqualizerBars { tint: Theme.accent; anchors.verticalCenter: parent.verticalCenter }
                Rectangle {
                    width: 48; height: 48; radius: 14
                    color: Qt.rgba(0, 0, 0, 0.45)
                    EqualizerBars { anchors.centerIn: parent; tint: "white" }
                }
                Row {
                    spacing: 4
                    anchors.verticalCenter: parent.verticalCenter
                    Rectangle { width: 5; height: 5; radius: 2.5; color: Theme.red; anchors.verticalCenter: parent.verticalCenter }
                    Text { textFormat: Text.PlainText; text: "زنده"; font: Theme.caption2; color: Qt.rgba(1, 1, 1, 0.5) }
                }
            }

            Rectangle {
                width: column.width
                height: 64
                radius: 14
                color: Qt.rgba(1, 1, 1, 0.05)
                Row {
                    anchors.verticalCenter: parent.verticalCenter
                    anchors.left: parent.left
                    anchors.leftMargin: 14
                    spacing: 12
                    SymbolImage { symbol: "music.note.list"; size: 22; color: Theme.accent }
                    Text {
                        textFormat: Text.PlainText
                        text: "کلیک راست یا نگه داشتن: منوی این ردیف"
                        font: Theme.footnote
                        color: Theme.label
                        anchors.verticalCenter: parent.verticalCenter
                    }
                }
                ContextMenu {
                    entries: () => [
                        { text: "دانلود آفلاین", symbol: "arrow.down.circle", action: () => {} },
                        { text: "حذف دانلود", symbol: "trash", destructive: true, action: () => {} }
                    ]
                }
            }

            SecureField {
                objectName: "galleryPassword"
                width: column.width
                placeholderText: "رمز عبور"
            }

            Text {
                textFormat: Text.PlainText
                width: column.width
                text: "Latin text in a Persian line: Melodrift Radio 2.0"
                font: Theme.footnote
                color: Theme.secondaryLabel
                horizontalAlignment: Text.AlignRight
            }
        }
    }

    Component {
        id: pushedPage
        NavigationPage {
            navigationTitle: "صفحهٔ بعدی"
            Text {
                textFormat: Text.PlainText
                anchors.centerIn: parent
                text: "این ایستگاه پخش زنده است"
                font: Theme.headline
                color: Theme.label
            }
        }
    }

    Sheet {
        presenter: gallery
        flag: "showSheet"
        NavigationPage {
            navigationTitle: "برگه"
            toolbarLeading: Component {
                PlainButton { text: "بستن"; onClicked: gallery.showSheet = false }
            }
            Column {
                anchors.centerIn: parent
                spacing: 12
                SymbolImage { symbol: "wifi.exclamationmark"; size: 40; color: Qt.rgba(1, 1, 1, 0.4); anchors.horizontalCenter: parent.horizontalCenter }
                Text { textFormat: Text.PlainText; text: "دریافت لیست آهنگها ناموفق بود"; font: Theme.subheadline; color: Qt.rgba(1, 1, 1, 0.6); anchors.horizontalCenter: parent.horizontalCenter }
                ProminentButton { text: "تلاش دوباره"; anchors.horizontalCenter: parent.horizontalCenter }
            }
        }
    }

    // Opened through the recognition manager's request, the road the home screen takes.
    Sheet {
        presenter: model
        flag: "showRecognition"
        NavigationPage {
            navigationTitle: "تشخیص آهنگ"
            SymbolImage {
                anchors.centerIn: parent
                symbol: "waveform"
                size: 64
                color: Theme.accent
            }
        }
    }

    FullScreenCover {
        presenter: gallery
        flag: "showCover"
        Item {
            signal dismissRequested()
            PlainButton {
                anchors.top: parent.top
                anchors.left: parent.left
                anchors.margins: 16
                Accessible.name: "بستن"
                symbol: "chevron.down"
                symbolSize: 22
                onClicked: parent.dismissRequested()
            }
            Text {
                textFormat: Text.PlainText
                anchors.centerIn: parent
                text: "پخش‌کنندهٔ تمام‌صفحه"
                font: Theme.title2
                color: Theme.label
            }
        }
    }
}
