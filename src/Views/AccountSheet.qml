import QtQuick
import QtQuick.Controls
import QtQuick.Shapes
import Melodrift

// The signed-in listener's account: a drawn avatar, the names, the linked Telegram handle, the
// counts of playlists and liked tracks, and signing out. Everything follows the session store.
NavigationPage {
    id: page

    signal dismissRequested()

    readonly property alias model: account
    // Room kept free at the bottom for a bar drawn over the page (the library's mini player).
    property real bottomInset: 0
    readonly property color violet: Qt.rgba(0.63, 0.38, 0.96, 1)
    readonly property color telegramBlue: Qt.rgba(0.13, 0.62, 0.85, 1)

    navigationTitle: "حساب کاربری"
    // Who is signed in and what they keep, read as the sheet or page opens.
    navigationSummary: [account.shownName, account.handle, account.playlistCount + " پلیلیست",
                        account.favoriteCount + " پسندیده"].filter(t => t !== "").join("، ")
    toolbarLeading: Component {
        PlainButton {
            objectName: "closeButton"
            text: "بستن"
            color: Qt.rgba(1, 1, 1, 0.7)
            Accessible.name: "بستن"
            onClicked: page.dismissRequested()
        }
    }

    AccountSheetModel {
        id: account
        onDismissRequested: page.dismissRequested()
    }

    Column {
        id: column
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        topPadding: 24
        spacing: 20

        // ---- avatar: a conic ring, a tinted disc and the initial
        Item {
            objectName: "avatar"
            width: 100
            height: 100
            anchors.horizontalCenter: parent.horizontalCenter

            Shape {
                anchors.fill: parent
                ShapePath {
                    // A 1 pt ring inside the circle's edge: the disc less an inner disc.
                    strokeWidth: -1
                    strokeColor: "transparent"
                    fillRule: ShapePath.OddEvenFill
                    fillGradient: ConicalGradient {
                        centerX: 50; centerY: 50
                        angle: 0
                        GradientStop { position: 0.0; color: Theme.accent }
                        GradientStop { position: 0.33; color: page.violet }
                        GradientStop { position: 0.67; color: page.telegramBlue }
                        GradientStop { position: 1.0; color: Theme.accent }
                    }
                    startX: 50; startY: 0
                    PathArc { x: 50; y: 100; radiusX: 50; radiusY: 50 }
                    PathArc { x: 50; y: 0; radiusX: 50; radiusY: 50 }
                    PathMove { x: 50; y: 1 }
                    PathArc { x: 50; y: 99; radiusX: 49; radiusY: 49 }
                    PathArc { x: 50; y: 1; radiusX: 49; radiusY: 49 }
                }
            }
            Rectangle {
                anchors.centerIn: parent
                width: 88
                height: 88
                radius: 44
                color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.22)
            }
            // The initial, filled from white at the top to the accent at the bottom.
            Canvas {
                id: initialCanvas
                objectName: "initial"
                anchors.fill: parent
                readonly property string initial: account.initial
                onInitialChanged: requestPaint()
                // Drawn, not read: the account buttons' names carry the initial.
                Accessible.ignored: true
                onPaint: {
                    const ctx = getContext("2d")
                    ctx.reset()
                    if (initial === "")
                        return
                    ctx.font = "bold 36px '" + Theme.fontFamily + "'"
                    ctx.textAlign = "center"
                    ctx.textBaseline = "middle"
                    const fill = ctx.createLinearGradient(0, 30, 0, 70)
                    fill.addColorStop(0, "white")
                    fill.addColorStop(1, Theme.accent)
                    ctx.fillStyle = fill
                    ctx.fillText(initial, width / 2, height / 2)
                }
            }
        }

        // ---- names
        Column {
            width: parent.width
            spacing: 4
            StaticText {
                objectName: "shownName"
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                text: account.shownName
                font: Theme.withWeight(Theme.title3, Font.Bold)
                color: "white"
                elide: Text.ElideRight
            }
            StaticText {
                objectName: "handle"
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                text: account.handle
                font: Theme.subheadline
                color: Qt.rgba(1, 1, 1, 0.5)
                elide: Text.ElideRight
            }
        }

        // ---- Telegram chip
        Rectangle {
            objectName: "telegramChip"
            visible: account.showsTelegram
            anchors.horizontalCenter: parent.horizontalCenter
            width: chipRow.implicitWidth + 24
            height: chipRow.implicitHeight + 12
            radius: height / 2
            color: Qt.rgba(page.telegramBlue.r, page.telegramBlue.g, page.telegramBlue.b, 0.12)
            Row {
                id: chipRow
                anchors.centerIn: parent
                spacing: 6
                SymbolImage {
                    anchors.verticalCenter: parent.verticalCenter
                    symbol: "paperplane.fill"
                    size: Theme.caption2.pixelSize
                    color: page.telegramBlue
                }
                StaticText {
                    anchors.verticalCenter: parent.verticalCenter
                    text: account.telegramHandle
                    font: Theme.withWeight(Theme.caption, Font.DemiBold)
                    color: page.telegramBlue
                }
            }
        }

        // ---- counts
        Row {
            x: 24
            width: parent.width - 48
            spacing: 12
            StatCard {
                objectName: "playlistCard"
                symbol: "music.note.list"
                count: account.playlistCount
                label: "پلیلیست"
            }
            StatCard {
                objectName: "favoriteCard"
                symbol: "heart.fill"
                count: account.favoriteCount
                label: "پسندیده"
            }
        }
    }

    component StatCard: Rectangle {
        id: card
        property string symbol
        property int count
        property string label
        width: (parent.width - parent.spacing) / 2
        height: cardRow.implicitHeight + 24
        radius: 16
        color: Qt.rgba(1, 1, 1, 0.06)
        Accessible.role: Accessible.StaticText
        Accessible.name: card.count + " " + card.label
        Row {
            id: cardRow
            x: 12
            anchors.verticalCenter: parent.verticalCenter
            spacing: 12
            Rectangle {
                width: 40
                height: 40
                radius: 20
                anchors.verticalCenter: parent.verticalCenter
                color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.14)
                SymbolImage {
                    anchors.centerIn: parent
                    symbol: card.symbol
                    size: 18
                    color: Theme.accent
                }
            }
            Column {
                anchors.verticalCenter: parent.verticalCenter
                width: card.width - 12 - 40 - 12 - 12
                spacing: 2
                Text {
                    textFormat: Text.PlainText
                    objectName: "count"
                    width: parent.width
                    horizontalAlignment: Text.AlignLeft
                    text: String(card.count)
                    font: Theme.withWeight(Theme.headline, Font.Bold)
                    color: "white"
                    Accessible.ignored: true
                }
                Text {
                    textFormat: Text.PlainText
                    width: parent.width
                    horizontalAlignment: Text.AlignLeft
                    text: card.label
                    font: Theme.caption
                    color: Qt.rgba(1, 1, 1, 0.55)
                    Accessible.ignored: true
                }
            }
        }
    }

    // ---- sign-out, at the bottom
    PlainButton {
        objectName: "signOutButton"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.leftMargin: 24
        anchors.rightMargin: 24
        anchors.bottomMargin: 20 + page.bottomInset
        topPadding: 14
        bottomPadding: 14
        text: "خروج از حساب"
        symbol: "rectangle.portrait.and.arrow.right"
        font: Theme.headline
        color: Theme.red
        focusRingRadius: 18
        contentItem: Item {
            implicitHeight: signOutLabel.implicitHeight
            SymbolLabel {
                id: signOutLabel
                anchors.centerIn: parent
                text: "خروج از حساب"
                symbol: "rectangle.portrait.and.arrow.right"
                font: Theme.headline
                color: Theme.red
            }
        }
        background: Rectangle {
            radius: 16
            color: Qt.rgba(Theme.red.r, Theme.red.g, Theme.red.b, 0.14)
        }
        onClicked: account.signOut()
    }
}
