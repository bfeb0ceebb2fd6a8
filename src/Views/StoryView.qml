import QtQuick
import QtQuick.Controls
import Melodrift

// The story sheet: a stretch of the lyrics of its station's track, chosen with two menus, turned
// into a vertical video with the track's audio; previewed, shared and saved. The full player
// opens it with its current station; the sheet keeps that station for everything it does.
NavigationPage {
    id: page

    property var station: null

    signal dismissRequested()

    // The sheet's screen model (screenshots and live checks drive it).
    readonly property alias storyModel: model

    navigationTitle: "استوری هوشمند"
    navigationBarHidden: true
    backgroundColor: Theme.background

    StoryViewModel {
        id: model
        station: page.station
    }

    Component.onCompleted: model.load()
    Component.onDestruction: model.close()

    // How a render ends is spoken as it shows: the preview, the error, the saved mark.
    Announcer {
        objectName: "renderAnnouncer"
        text: model.isRendering ? "در حال ساخت…"
            : model.errorText !== "" ? model.errorText
            : model.noticeText !== "" ? model.noticeText
            : model.videoURL.toString() !== "" ? "پیش‌نمایش ویدیو" : ""
    }
    function close() {
        model.close()
        page.dismissRequested()
    }

    // The sheet draws its own bar: F6 moves between it and the content (FocusRegions.h).
    FocusRegion { target: header }
    FocusRegion { target: scroll }

    // ---- header
    Item {
        id: header
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: titles.height + 28

        Column {
            id: titles
            anchors.left: parent.left
            anchors.leftMargin: 20
            anchors.right: closeButton.left
            anchors.rightMargin: 12
            anchors.verticalCenter: parent.verticalCenter
            spacing: 2
            Text {
                textFormat: Text.PlainText
                width: parent.width
                text: "استوری هوشمند"
                font: Theme.headline
                color: "white"
                horizontalAlignment: Text.AlignLeft
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
            Text {
                textFormat: Text.PlainText
                width: parent.width
                text: "ویدیوی استوری — مدت با بازهی شعر تعیین میشود"
                font: Theme.caption2
                color: Qt.rgba(1, 1, 1, 0.5)
                horizontalAlignment: Text.AlignLeft
                wrapMode: Text.WordWrap
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
        }

        PlainButton {
            id: closeButton
            objectName: "closeButton"
            anchors.right: parent.right
            anchors.rightMargin: 20
            anchors.verticalCenter: parent.verticalCenter
            width: 34
            height: 34
            background: Rectangle { radius: 17; color: Qt.rgba(1, 1, 1, 0.07) }
            contentItem: SymbolImage { symbol: "xmark"; size: 15; color: Qt.rgba(1, 1, 1, 0.7) }
            Accessible.name: "بستن"
            onClicked: page.close()
        }
    }

    // ---- content
    ScrollView {
        id: scroll
        anchors.top: header.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        contentWidth: availableWidth

        Column {
            id: body
            width: scroll.availableWidth
            leftPadding: 20
            rightPadding: 20
            bottomPadding: 30
            spacing: 16
            readonly property real innerWidth: width - leftPadding - rightPadding

            // An empty state: failure, or no lyrics (also while the request runs).
            Column {
                objectName: model.content === StoryViewModel.Failure ? "failureState" : "noLyricsState"
                visible: model.content !== StoryViewModel.Picker
                width: body.innerWidth
                topPadding: 40
                spacing: 12
                readonly property bool failed: model.content === StoryViewModel.Failure
                SymbolImage {
                    anchors.horizontalCenter: parent.horizontalCenter
                    symbol: parent.failed ? "wifi.exclamationmark" : "music.note.list"
                    size: 40
                    color: Qt.rgba(1, 1, 1, 0.35)
                }
                Text {
                    textFormat: Text.PlainText
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    text: parent.failed ? "خطا در دریافت اطلاعات" : "متن ترانهای یافت نشد"
                    font: Theme.headline
                    color: Qt.rgba(1, 1, 1, 0.85)
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
                Text {
                    textFormat: Text.PlainText
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.WordWrap
                    text: parent.failed ? "اتصال اینترنت را بررسی کنید و دوباره امتحان کنید."
                                        : "برای این تراک شعر ثبت نشده است؛ آهنگ دیگری انتخاب کنید."
                    font: Theme.subheadline
                    color: Qt.rgba(1, 1, 1, 0.5)
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }

            // The line picker.
            Column {
                objectName: "picker"
                visible: model.content === StoryViewModel.Picker
                width: body.innerWidth
                spacing: 14

                Row {
                    anchors.horizontalCenter: parent.horizontalCenter
                    spacing: 12
                    StoryRangeMenu {
                        objectName: "startMenu"
                        title: "از خط"
                        label: model.startLabel
                        items: model.lineItems
                        current: model.startLine
                        onChosen: index => model.chooseStart(index)
                    }
                    SymbolImage {
                        anchors.verticalCenter: parent.verticalCenter
                        symbol: "arrow.left"
                        size: 13
                        color: Qt.rgba(1, 1, 1, 0.4)
                    }
                    StoryRangeMenu {
                        objectName: "endMenu"
                        title: "تا خط"
                        label: model.endLabel
                        items: model.lineItems
                        current: model.endLine
                        onChosen: index => model.chooseEnd(index)
                    }
                }

                Text {
                    textFormat: Text.PlainText
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    text: model.durationText
                    font: Theme.caption2
                    color: Qt.rgba(1, 1, 1, 0.5)
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }

                Column {
                    objectName: "progressBlock"
                    visible: model.isRendering
                    width: parent.width
                    topPadding: 4
                    spacing: 8
                    ProgressBar {
                        objectName: "renderProgress"
                        width: parent.width
                        from: 0
                        to: 1
                        value: model.renderProgress
                        background: Rectangle { implicitHeight: 4; radius: 2; color: Qt.rgba(1, 1, 1, 0.15) }
                        contentItem: Item {
                            implicitHeight: 4
                            Rectangle {
                                anchors.left: parent.left
                                width: parent.width * model.renderProgress
                                height: parent.height
                                radius: 2
                                color: Theme.accent
                            }
                        }
                        Accessible.role: Accessible.ProgressBar
                        Accessible.name: "پیشرفت ساخت ویدیو"
                    }
                    Text {
                        textFormat: Text.PlainText
                        width: parent.width
                        horizontalAlignment: Text.AlignHCenter
                        text: model.progressText
                        font: Theme.caption2
                        color: Qt.rgba(1, 1, 1, 0.6)
                        Accessible.role: Accessible.StaticText
                        Accessible.name: text
                    }
                }

                PlainButton {
                    id: generateButton
                    objectName: "generateButton"
                    width: parent.width
                    height: generateLabel.implicitHeight + 30
                    enabled: !model.isRendering
                    background: Rectangle { radius: 16; color: Theme.accent }
                    contentItem: Item {
                        Column {
                            id: generateLabel
                            anchors.centerIn: parent
                            spacing: 2
                            Text {
                                textFormat: Text.PlainText
                                anchors.horizontalCenter: parent.horizontalCenter
                                text: model.durationText
                                font: Theme.headline
                                color: "white"
                            }
                            Row {
                                anchors.horizontalCenter: parent.horizontalCenter
                                spacing: 8
                                ProgressView { visible: model.isRendering; tint: "white"; anchors.verticalCenter: parent.verticalCenter }
                                SymbolLabel {
                                    text: model.isRendering ? "در حال ساخت…" : "ساخت ویدیو"
                                    symbol: model.isRendering ? "" : "film"
                                    font: Theme.headline
                                    color: "white"
                                }
                            }
                        }
                    }
                    opacity: 1
                    Accessible.name: model.isRendering ? "در حال ساخت…" : "ساخت ویدیو"
                    onClicked: model.generate()
                }

                StaticText {
                    objectName: "noticeText"
                    visible: model.noticeText !== ""
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.Wrap
                    text: model.noticeText
                    font: Theme.caption
                    color: Theme.green
                }
                Text {
                    textFormat: Text.PlainText
                    objectName: "errorText"
                    visible: model.errorText !== ""
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.WordWrap
                    text: model.errorText
                    font: Theme.caption
                    color: Qt.rgba(1, 0.27, 0.23, 0.8)
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }

                Loader {
                    id: resultLoader
                    objectName: "resultLoader"
                    active: model.videoURL.toString() !== ""
                    width: parent.width
                    sourceComponent: StoryResultView {
                        width: parent ? parent.width : 0
                        url: model.videoURL
                        player: model.previewPlayer
                        savedFlag: model.savedToLibrary
                        onRegenerate: model.regenerate()
                        onShare: {
                            shareSheet.openedByKeyboard = FocusLanding.keyboardFocused(page)
                            shareSheet.open()
                        }
                        onSave: model.save()
                    }
                }
            }
        }
    }

    // ---- sharing: the desktop's ways, for the file the sheet was opened with
    Popup {
        id: shareSheet
        objectName: "shareSheet"
        parent: Overlay.overlay
        // Above the story sheet (z 1), and with the keyboard's focus, so Escape closes this first.
        z: 2
        focus: true
        modal: true
        anchors.centerIn: parent
        width: Math.min(320, page.width - 40)
        padding: 16
        background: Rectangle { radius: 14; color: Theme.secondaryBackground }
        readonly property NodeName nodeName: NodeName {
            target: shareSheet.contentItem ? shareSheet.contentItem.parent : null
            name: "اشتراکگذاری"
        }
        // While open, the story sheet under it is out of reach of assistive technology; it closes
        // with the story sheet.
        readonly property ModalCover modalCover: ModalCover {
            active: shareSheet.visible
            content: shareSheet.contentItem ? shareSheet.contentItem.parent : null
        }
        readonly property Connections closesWithPage: Connections {
            target: page
            function onVisibleChanged() {
                if (!page.visible)
                    shareSheet.close()
            }
        }

        // Opened from the keyboard: the focus shows on its first button.
        property bool openedByKeyboard: false
        onOpened: FocusLanding.enter(contentItem, openedByKeyboard)

        contentItem: Loader {
            active: shareSheet.visible
            sourceComponent: Column {
                spacing: 10
                ActivitySharer {
                    id: sharer
                    items: [model.videoURL]
                }
                Text {
                    textFormat: Text.PlainText
                    width: parent.width
                    text: sharer.fileName
                    font: Theme.footnote
                    color: Theme.secondaryLabel
                    horizontalAlignment: Text.AlignHCenter
                    elide: Text.ElideMiddle
                }
                Repeater {
                    model: [
                        { title: "باز کردن با برنامهٔ پیش‌فرض", symbol: "play.circle", act: () => sharer.openWithDefault() },
                        { title: "نمایش در پوشه", symbol: "magnifyingglass", act: () => sharer.showInFolder() },
                        { title: "کپی فایل", symbol: "square.and.arrow.up", act: () => sharer.copyToClipboard() },
                        { title: "ذخیره به نام…", symbol: "square.and.arrow.down",
                          act: () => saveDialog.openAt(sharer.saveFolder, sharer.fileName, FocusLanding.keyboardFocused(page)) }
                    ]
                    delegate: PlainButton {
                        required property var modelData
                        width: parent.width
                        height: 40
                        text: modelData.title
                        symbol: modelData.symbol
                        font: Theme.body
                        Accessible.name: modelData.title
                        // Closing takes this button with the sheet's content: once its click has returned.
                        onClicked: { modelData.act(); Qt.callLater(shareSheet.close) }
                    }
                }
            }
        }
    }

    // Save as: where the listener says, under the name typed there. Outlives the share sheet.
    SaveFileDialog {
        id: saveDialog
        objectName: "saveDialog"
        title: "ذخیرهٔ ویدیو به نام…"
        suffix: ".mp4"
        onAccepted: file => model.saveCopy(file)
    }
}
