import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Melodrift

// The radio tab's home screen: the header (title, greeting, status badge, recognition, search and
// account buttons), the category chips and the station grid, with the loading and error views in
// the grid's place while there is nothing to show. It owns its navigation stack: the station
// detail page and the search page are pushed on it. It presents the recognition sheet and the
// account (or sign-in) sheet.
Item {
    id: root

    // The home screen's state and rules; exposed for tests and the screenshot tool.
    readonly property alias model: home
    readonly property alias navigationStack: stack

    HomeViewModel {
        id: home
    }

    // Scale of the grid: from 0.96 to 1 once, the first time the grid shows.
    property real appearScale: 0.96
    NumberAnimation on appearScale {
        id: appearAnimation
        running: false
        to: 1.0
        duration: 350
        easing.type: Easing.OutQuad
    }

    // The pushed station detail page while shown.
    property Item detailPage: null

    function syncDetailPage() {
        if (home.showStationDetail && root.detailPage === null) {
            const page = stack.push(Qt.resolvedUrl("qrc:/Melodrift/StationDetailView.qml"),
                                    { station: home.detailStation })
            if (!page)
                return
            root.detailPage = page
            page.popped.connect(function() {
                if (root.detailPage === page) {
                    root.detailPage = null
                    home.showStationDetail = false
                }
            })
        } else if (!home.showStationDetail && root.detailPage !== null) {
            stack.popToRoot()
        }
    }

    Connections {
        target: home
        function onShowStationDetailChanged() { Qt.callLater(root.syncDetailPage) }
    }

    // The screen has appeared once; from then on, showing the home page again is an appearance.
    property bool appeared: false
    Component.onCompleted: {
        home.appear()
        appeared = true
        Qt.callLater(root.syncDetailPage)
    }
    // Coming back to the radio tab is an appearance too.
    onVisibleChanged: {
        if (visible && appeared)
            home.appear()
    }

    NavigationStack {
        id: stack
        anchors.fill: parent
        initialItem: homePage
        // Each time the home page shows again, the greeting is worked out anew.
        onCurrentItemChanged: {
            if (root.appeared && currentItem === homePage)
                home.appear()
        }
    }

    NavigationPage {
        id: homePage
        navigationBarHidden: true

        HarmonicTint {
            anchors.fill: parent
            visible: home.hasCurrentStation
            baseColor: homePage.backgroundColor
            tint: RadioPlayer.themeColor
            artworkKey: nowPlaying.artworkURL !== undefined ? String(nowPlaying.artworkURL) : ""
        }

        MiniPlayerBarModel {
            id: nowPlaying
        }

        // Status changes a sighted listener sees are spoken too: the badge (connecting, playing)
        // and a catalogue failure. Why a stream reconnects or failed is the mini player bar's to say.
        Announcer {
            objectName: "statusAnnouncer"
            text: home.statusAnnouncement
        }
        Announcer {
            objectName: "errorAnnouncer"
            text: home.content === HomeViewModel.Error ? home.errorMessage : ""
        }

        // The station grid, built lazily a row at a time: only the rows near the view exist
        // (with their cards and artwork), however long the catalogue. The header, the chips and
        // the loading and error views scroll with it as the list's header.
        LazyListView {
            id: scroll
            objectName: "homeScroll"
            anchors.fill: parent
            boundsBehavior: Flickable.DragOverBounds
            flickableDirection: Flickable.VerticalFlick
            spacing: home.gridSpacing
            // Room for the refresh indicator while a pull-to-refresh load runs.
            topMargin: home.isRefreshing ? 44 : 0
            // Keyboard focus is kept above the mini player bar.
            focusBottomInset: home.hasCurrentStation ? 100 : 0
            Behavior on topMargin { NumberAnimation { duration: 200; easing.type: Easing.OutCubic } }

            readonly property real contentWidthInset: width - 32
            readonly property int columns: home.columnCount(contentWidthInset)
            readonly property real cellWidth: home.columnWidth(contentWidthInset)
            readonly property bool showsGrid: home.content === HomeViewModel.Grid

            // Pulled down far enough and let go: refresh. The indicator shows how far, and the
            // load starts on release whenever it showed ready during the drag.
            readonly property real pullDistance: originY - topMargin - contentY
            readonly property real pullProgress: home.pullProgress(pullDistance)
            property bool pulledFar: false
            onPullProgressChanged: {
                if (dragging && home.isPullReady(pullDistance))
                    pulledFar = true
            }
            onDraggingChanged: {
                if (!dragging && pulledFar) {
                    pulledFar = false
                    home.refresh()
                }
            }

            ProgressView {
                objectName: "refreshIndicator"
                tint: "white"
                x: (scroll.width - width) / 2
                y: scroll.originY - 32
                visible: home.isRefreshing || scroll.pullDistance > 8
                opacity: home.isRefreshing ? 1 : scroll.pullProgress
            }

            onShowsGridChanged: startAppearing()
            Component.onCompleted: startAppearing()
            function startAppearing() {
                if (showsGrid && root.appearScale < 1 && !appearAnimation.running)
                    appearAnimation.start()
            }

            // One list row per row of cards; the cards of a row follow the stations by genre.
            model: GridRows {
                id: stationGrid
                source: scroll.showsGrid ? home.gridStations : null
                columns: scroll.columns
            }

            header: Item {
                width: scroll.width
                height: column.y + column.height + (scroll.showsGrid ? 18 : 0)

                Column {
                    id: column
                    x: 16
                    y: 8
                    width: scroll.contentWidthInset
                    spacing: 18

                    // ---- header
                    RowLayout {
                        id: header
                        objectName: "header"
                        width: column.width
                        spacing: 8

                        Column {
                            Layout.alignment: Qt.AlignVCenter
                            Layout.topMargin: 6
                            Layout.fillWidth: true
                            spacing: 3

                            // Filled with a top-to-bottom gradient from white to white at 0.72.
                            GradientText {
                                objectName: "appTitle"
                                anchors.left: parent.left
                                text: qsTr("ملودریفت")
                                font: Theme.font(26, Font.ExtraBold)
                                topColor: "white"
                                bottomColor: Qt.rgba(1, 1, 1, 0.72)
                                Accessible.role: Accessible.Heading
                                Accessible.name: text
                            }

                            StaticText {
                                objectName: "greeting"
                                anchors.left: parent.left
                                text: home.greeting + " 👋"
                                font: Theme.footnote
                                color: Qt.rgba(1, 1, 1, 0.55)
                            }
                        }

                        // The signal badge.
                        Rectangle {
                            objectName: "signalBadge"
                            Layout.alignment: Qt.AlignVCenter
                            Layout.topMargin: 6
                            implicitWidth: badgeRow.implicitWidth + 22
                            implicitHeight: badgeRow.implicitHeight + 12
                            radius: height / 2
                            color: Qt.rgba(1, 1, 1, 0.08)

                            Row {
                                id: badgeRow
                                anchors.centerIn: parent
                                spacing: 5

                                Rectangle {
                                    objectName: "signalDot"
                                    width: 7
                                    height: 7
                                    radius: 3.5
                                    anchors.verticalCenter: parent.verticalCenter
                                    color: home.isPlaying ? Theme.green : home.playbackFailed ? Theme.red : Theme.orange
                                }
                                StaticText {
                                    objectName: "statusLabel"
                                    anchors.verticalCenter: parent.verticalCenter
                                    text: home.statusLabel
                                    font: Theme.withWeight(Theme.caption2, Font.DemiBold)
                                    color: Qt.rgba(1, 1, 1, 0.75)
                                }
                            }
                        }

                        PlainButton {
                            objectName: "recognitionButton"
                            Layout.alignment: Qt.AlignVCenter
                            Layout.topMargin: 6
                            symbol: "mic.fill"
                            symbolSize: 22
                            color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.85)
                            Accessible.name: "تشخیص آهنگ"
                            onClicked: home.showShazam = true
                        }

                        PlainButton {
                            objectName: "searchButton"
                            Layout.alignment: Qt.AlignVCenter
                            Layout.topMargin: 6
                            symbol: "magnifyingglass"
                            symbolSize: 24
                            color: Qt.rgba(1, 1, 1, 0.6)
                            Accessible.name: "جستجو"
                            onClicked: stack.push(Qt.resolvedUrl("qrc:/Melodrift/SoundCloudSearchView.qml"))
                        }

                        PlainButton {
                            objectName: "accountButton"
                            Layout.alignment: Qt.AlignVCenter
                            Layout.topMargin: 6
                            symbol: home.isAuthed ? "person.crop.circle.fill" : "person.crop.circle"
                            symbolSize: 26
                            color: home.isAuthed ? Theme.accent : Qt.rgba(1, 1, 1, 0.6)
                            Accessible.name: accountTexts.buttonName
                            onClicked: home.showAccount = true
                            AccountSheetModel { id: accountTexts }
                        }
                    }

                    // ---- category chips
                    ListView {
                        id: chips
                        objectName: "categoryChips"
                        width: column.width
                        height: currentItem ? currentItem.height : 36
                        orientation: ListView.Horizontal
                        spacing: 8
                        clip: true
                        boundsBehavior: Flickable.StopAtBounds
                        // Tab moves between the chips; the view's own arrows would move from its
                        // current index, not from the chip with the focus.
                        keyNavigationEnabled: false
                        model: StationStore.categories

                        delegate: ButtonBase {
                            id: chip
                            required property var modelData
                            readonly property bool selected: modelData.value === StationStore.selectedCategory

                            objectName: "chip" + modelData.value
                            leftPadding: 16
                            rightPadding: 16
                            topPadding: 9
                            bottomPadding: 9
                            focusRingRadius: height / 2 - 2
                            // The ring is drawn inside the chip: the row clips what lies outside it.
                            focusRing.gap: -2
                            // One of the categories: read as a radio button, selected while it
                            // filters the grid.
                            accessibleRole: Accessible.RadioButton
                            checked: selected
                            Accessible.name: modelData.label
                            opacity: pressed ? 0.55 : 1.0
                            onClicked: home.selectCategory(modelData.value)

                            contentItem: Text {
                                textFormat: Text.PlainText
                                text: chip.modelData.label
                                font: Theme.withWeight(Theme.subheadline, Font.DemiBold)
                                color: chip.selected ? "white" : Qt.rgba(1, 1, 1, 0.65)
                                Behavior on color { ColorAnimation { duration: 350; easing.type: Easing.OutCubic } }
                            }
                            background: Rectangle {
                                radius: height / 2
                                color: chip.selected ? Theme.accent : Qt.rgba(1, 1, 1, 0.07)
                                Behavior on color { ColorAnimation { duration: 350; easing.type: Easing.OutCubic } }
                            }
                        }
                    }

                    // ---- error view
                    Column {
                        objectName: "errorView"
                        visible: home.content === HomeViewModel.Error
                        width: column.width
                        topPadding: 120
                        spacing: 12

                        SymbolImage {
                            anchors.horizontalCenter: parent.horizontalCenter
                            symbol: "wifi.exclamationmark"
                            size: 40
                            color: Qt.rgba(1, 1, 1, 0.4)
                        }
                        StaticText {
                            objectName: "errorMessage"
                            width: parent.width
                            horizontalAlignment: Text.AlignHCenter
                            wrapMode: Text.Wrap
                            text: home.errorMessage
                            font: Theme.subheadline
                            color: Qt.rgba(1, 1, 1, 0.6)
                        }
                        ProminentButton {
                            objectName: "retryButton"
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: "تلاش دوباره"
                            Accessible.description: home.errorMessage
                            onClicked: home.retry()
                        }
                    }

                    // ---- loading view
                    Column {
                        objectName: "loadingView"
                        visible: home.content === HomeViewModel.Loading
                        width: column.width
                        topPadding: 120
                        spacing: 14

                        ProgressView {
                            anchors.horizontalCenter: parent.horizontalCenter
                            tint: "white"
                        }
                        StaticText {
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: "در حال دریافت ایستگاهها…"
                            font: Theme.subheadline
                            color: Qt.rgba(1, 1, 1, 0.55)
                        }
                    }
                }
            }

            // ---- station grid: one row of cards per item
            delegate: FocusScope {
                id: gridRow
                required property int index

                width: scroll.width
                height: cards.height
                scale: root.appearScale

                Row {
                    id: cards
                    anchors.left: parent.left
                    anchors.leftMargin: 16
                    spacing: home.gridSpacing

                    Repeater {
                        model: GridRowCells { grid: stationGrid; row: gridRow.index }

                        Item {
                            id: cell
                            required property var model
                            readonly property var station: model.station
                            // The list keeps the focus on the station when it moves to another row.
                            readonly property string itemKey: model.key
                            objectName: "station_" + model.genre
                            width: scroll.cellWidth
                            height: card.height

                            StationCardView {
                                id: card
                                width: cell.width
                                station: cell.station
                                onTap: home.open(cell.station)
                            }
                        }
                    }
                }
            }

            footer: Item {
                width: scroll.width
                height: home.bottomPadding
            }
        }
    }

    // ---- sheets (named by their files: none of them is read until it first opens)
    Sheet {
        objectName: "shazamSheet"
        presenter: home
        flag: "showShazam"
        source: "qrc:/Melodrift/ShazamView.qml"
    }
    Sheet {
        objectName: "accountSheet"
        presenter: home
        flag: "showAccountSheet"
        source: "qrc:/Melodrift/AccountSheet.qml"
    }
    Sheet {
        objectName: "loginSheet"
        presenter: home
        flag: "showLoginSheet"
        source: "qrc:/Melodrift/LoginSheet.qml"
    }
}
