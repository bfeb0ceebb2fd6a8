import QtQuick
import QtQuick.Controls
import Melodrift

// The synced-lyrics sheet: a header with the track, the translation toggle and the close button,
// over one of four contents: the spinner while loading, the lines with the one being sung lit and
// kept in the middle, or a placard for no lyrics or a failed load. A tap on a timed line seeks
// the track there. `station` is the station the sheet was opened for; the sheet follows the
// player's track by itself.
NavigationPage {
    id: page

    property var station: null
    // Translations under the lines (shown when the sheet opens).
    property alias showTranslation: model.showTranslation

    signal dismissRequested()

    navigationTitle: "متن ترانه"
    navigationBarHidden: true
    backgroundColor: Theme.background
    LayoutMirroring.enabled: true
    LayoutMirroring.childrenInherit: true

    LyricsSheetModel {
        id: model
        station: page.station
        // The highlight follows the clock only while the list can be seen.
        ticking: list.visible && page.Window.window !== null
                 && page.Window.visibility !== Window.Hidden && page.Window.visibility !== Window.Minimized
        onActiveLineMoved: index => list.centre(index)
    }
    Component.onCompleted: model.appear()

    Keys.onEscapePressed: page.dismissRequested()

    // The sheet draws its own bar: F6 moves between it and the lines (FocusRegions.h).
    FocusRegion { target: header }
    FocusRegion { target: content }

    // Header.
    Item {
        id: header
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: Math.max(titles.implicitHeight, closeButton.height) + 24

        Column {
            id: titles
            anchors.left: parent.left
            anchors.leftMargin: 20
            anchors.right: translationToggle.left
            anchors.rightMargin: 12
            anchors.verticalCenter: parent.verticalCenter
            spacing: 2
            StaticText {
                objectName: "trackTitle"
                width: parent.width
                horizontalAlignment: Text.AlignLeft
                text: model.trackTitle
                font: Theme.withWeight(Theme.subheadline, Font.Bold)
                color: "white"
                elide: Text.ElideRight
                maximumLineCount: 1
            }
            StaticText {
                width: parent.width
                horizontalAlignment: Text.AlignLeft
                text: model.subtitle
                font: Theme.caption2
                color: Qt.rgba(1, 1, 1, 0.5)
                elide: Text.ElideRight
                maximumLineCount: 1
            }
        }

        PlainButton {
            id: translationToggle
            objectName: "translationToggle"
            anchors.right: closeButton.left
            anchors.rightMargin: 12
            anchors.verticalCenter: parent.verticalCenter
            // Shows whether translations are on (read as a check box); a click flips them through
            // the model.
            accessibleRole: Accessible.CheckBox
            checked: model.showTranslation
            onClicked: model.toggleTranslation()
            Accessible.name: "ترجمه"
            contentItem: Text {
                textFormat: Text.PlainText
                text: "ترجمه"
                font: Theme.withWeight(Theme.caption, Font.Bold)
                color: model.showTranslation ? "white" : Qt.rgba(1, 1, 1, 0.55)
            }
            leftPadding: 12
            rightPadding: 12
            topPadding: 7
            bottomPadding: 7
            focusRingRadius: height / 2
            background: Rectangle {
                radius: height / 2
                color: model.showTranslation ? Theme.accent : Qt.rgba(1, 1, 1, 0.08)
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
            Accessible.name: "بستن"
            onClicked: page.dismissRequested()
            contentItem: SymbolImage {
                symbol: "chevron.down"
                size: 16
                color: Qt.rgba(1, 1, 1, 0.7)
            }
            focusRingRadius: width / 2
            background: Rectangle {
                radius: width / 2
                color: Qt.rgba(1, 1, 1, 0.07)
            }
        }
    }

    // Content.
    Item {
        id: content
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: header.bottom
        anchors.bottom: parent.bottom

        ProgressView {
            objectName: "spinner"
            anchors.centerIn: parent
            visible: model.content === LyricsSheetModel.Loading
            tint: "white"
            Accessible.role: Accessible.Indicator
            Accessible.name: "در حال بارگذاری"
        }

        LyricsPlacard {
            objectName: "failedPlacard"
            visible: model.content === LyricsSheetModel.Failed
            symbol: "wifi.exclamationmark"
            title: "خطا در دریافت متن ترانه"
            message: "اتصال اینترنت را بررسی کنید و دوباره تلاش کنید."
        }

        LyricsPlacard {
            objectName: "noLyricsPlacard"
            visible: model.content === LyricsSheetModel.NoLyrics
            symbol: "music.note.list"
            title: "متن ترانهای یافت نشد"
            message: "این قطعه احتمالاً بیکلام است یا متن برای آن ثبت نشده است."
        }

        ListView {
            id: list
            objectName: "lyricsList"
            anchors.fill: parent
            visible: model.content === LyricsSheetModel.List
            model: model.lines
            spacing: 20
            clip: true
            activeFocusOnTab: true
            keyNavigationEnabled: true
            highlightFollowsCurrentItem: false
            currentIndex: -1
            ScrollBar.vertical: ScrollBar {}
            // The rows go before the list as the sheet lets it go (see LazyListView.qml).
            Component.onDestruction: list.model = null
            Accessible.role: Accessible.List
            Accessible.name: "متن ترانه"

            header: Item { width: list.width; height: 120 }
            footer: Item { width: list.width; height: 220 }

            Keys.onReturnPressed: model.seekTo(list.currentIndex)
            Keys.onEnterPressed: model.seekTo(list.currentIndex)
            Keys.onSpacePressed: model.seekTo(list.currentIndex)
            onActiveFocusChanged: if (activeFocus && currentIndex < 0) currentIndex = Math.max(0, model.activeIndex)
            // The line the keyboard is on stays in view.
            onCurrentIndexChanged: if (activeFocus && currentIndex >= 0) positionViewAtIndex(currentIndex, ListView.Contain)

            // Scrolls, animated, so that the row `index` sits in the middle of the view.
            function centre(index) {
                if (index < 0 || !visible)
                    return
                const from = contentY
                positionViewAtIndex(index, ListView.Center)
                const to = contentY
                contentY = from
                scroll.from = from
                scroll.to = to
                scroll.restart()
            }
            NumberAnimation {
                id: scroll
                target: list
                property: "contentY"
                duration: 450
                easing.type: Easing.InOutQuad
            }

            delegate: Item {
                id: row
                required property int index
                required property string text
                required property string translation
                required property bool timed
                required property bool active

                readonly property bool showsTranslation: model.showTranslation && translation !== ""

                x: 24
                width: list.width - 48
                height: lineText.height + translationText.height + (showsTranslation ? 6 : 0)
                Behavior on height { NumberAnimation { duration: 350; easing.type: Easing.OutCubic } }

                Accessible.role: Accessible.ListItem
                Accessible.name: text
                Accessible.description: showsTranslation ? translation : ""
                // The line being sung reads as the selected item.
                Accessible.selectable: true
                Accessible.selected: active
                Accessible.onPressAction: model.seekTo(index)

                Text {
                    id: lineText
                    textFormat: Text.PlainText
                    width: parent.width
                    horizontalAlignment: Text.AlignLeft
                    wrapMode: Text.Wrap
                    text: row.text
                    font: row.active ? Theme.font(22, Font.Bold) : Theme.font(19, Font.Medium)
                    color: row.active ? "white" : Qt.rgba(1, 1, 1, 0.38)
                    Behavior on color { ColorAnimation { duration: 300; easing.type: Easing.InOutQuad } }
                }
                Text {
                    id: translationText
                    textFormat: Text.PlainText
                    anchors.top: lineText.bottom
                    anchors.topMargin: 6
                    width: parent.width
                    height: row.showsTranslation ? implicitHeight : 0
                    opacity: row.showsTranslation ? 1 : 0
                    Behavior on opacity { NumberAnimation { duration: 350 } }
                    clip: true
                    horizontalAlignment: Text.AlignLeft
                    wrapMode: Text.Wrap
                    text: row.translation
                    font: row.active ? Theme.font(16, Font.Medium) : Theme.font(14, Font.Medium)
                    color: row.active ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.95)
                                      : Qt.rgba(1, 1, 1, 0.3)
                }
                // Keyboard focus on this line.
                FocusRing {
                    gap: 6
                    visible: list.activeFocus && list.currentIndex === row.index
                }
                TapHandler {
                    onTapped: model.seekTo(row.index)
                }
            }
        }
    }
}
