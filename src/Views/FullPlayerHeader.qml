import QtQuick
import QtQuick.Layouts
import Melodrift

// The full player's top bar, right to left: the close button, the station's name, and the story,
// equaliser, add-to-playlist, lyrics and favourite buttons. The buttons only set the screen's
// sheet flags or call its actions:
//     FullPlayerHeader { model: screen; onCloseRequested: root.dismissRequested() }
RowLayout {
    id: root

    property FullPlayerViewModel model

    signal closeRequested()

    spacing: 8

    // A round icon button of the player: the symbol over a faint circle, 44 x 44.
    component RoundButton: PlainButton {
        id: button
        property real size: 16
        property color tint: Qt.rgba(1, 1, 1, 0.7)
        implicitWidth: 44
        implicitHeight: 44
        focusRingRadius: 22
        contentItem: Item {
            Rectangle {
                anchors.fill: parent
                radius: width / 2
                color: Qt.rgba(1, 1, 1, 0.07)
            }
            SymbolImage {
                anchors.centerIn: parent
                symbol: button.symbol
                size: button.size
                color: button.tint
            }
        }
    }

    RoundButton {
        objectName: "closeButton"
        symbol: "chevron.down"
        size: 20
        Accessible.name: "بستن"
        onClicked: root.closeRequested()
    }

    StaticText {
        objectName: "headerTitle"
        Layout.fillWidth: true
        horizontalAlignment: Text.AlignHCenter
        text: root.model.headerTitle
        font: Theme.withWeight(Theme.footnote, Font.DemiBold)
        color: Qt.rgba(1, 1, 1, 0.6)
        elide: Text.ElideRight
        maximumLineCount: 1
    }

    RowLayout {
        spacing: 10

        RoundButton {
            objectName: "storyButton"
            symbol: "sparkles"
            Accessible.name: "استوری"
            onClicked: root.model.showStory = true
        }
        RoundButton {
            objectName: "equalizerButton"
            symbol: "slider.horizontal.3"
            Accessible.name: "اکولایزر"
            onClicked: root.model.showEQ = true
        }
        RoundButton {
            objectName: "addButton"
            symbol: "plus"
            Accessible.name: "افزودن به پلیلیست"
            onClicked: root.model.handleAddTap()
        }
        RoundButton {
            objectName: "lyricsButton"
            symbol: "text.quote"
            size: 17
            Accessible.name: "متن ترانه"
            onClicked: root.model.showLyrics = true
        }
        RoundButton {
            objectName: "favoriteButton"
            symbol: root.model.isFavorite ? "heart.fill" : "heart"
            size: 18
            tint: root.model.isFavorite ? Theme.pink : Qt.rgba(1, 1, 1, 0.7)
            Accessible.name: "پسندیدن"
            // Read as a check box, checked while liked; a click asks the model, which decides
            // (and may ask to sign in first).
            accessibleRole: Accessible.CheckBox
            checked: root.model.isFavorite
            onClicked: root.model.handleFavoriteTap()
        }
    }
}
