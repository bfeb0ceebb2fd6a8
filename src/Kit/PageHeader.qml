import QtQuick
import Melodrift

// The head of a page that lists tracks (a playlist's, a station's): on a rounded card its picture,
// its title, a description when it has one and the count; under the card "پخش همه". The card is
// the page's heading for assistive technology.
//     PageHeader {
//         title: model.displayName; countText: model.trackCountText
//         picture: ArtworkImage { urlString: model.artworkURL; cornerRadius: 14 }
//         onPlayAll: model.playAll()
//     }
Column {
    id: header

    property string title
    property string description
    property string countText
    property bool canPlayAll: true
    // Placed on the card, 96 points square.
    property Item picture

    signal playAll()

    spacing: 18

    onPictureChanged: placePicture()
    Component.onCompleted: placePicture()
    function placePicture() {
        if (!picture)
            return
        picture.parent = pictureSlot
        picture.anchors.fill = pictureSlot
    }

    Rectangle {
        id: card
        objectName: "header"
        width: header.width
        height: Math.max(96, texts.implicitHeight) + 28
        radius: 18
        color: Qt.rgba(1, 1, 1, 0.06)
        Accessible.role: Accessible.Heading
        Accessible.name: header.title
        Accessible.focusable: true

        FocusRing {
            radius: 18
        }

        Item {
            id: pictureSlot
            width: 96
            height: 96
            anchors.left: parent.left
            anchors.leftMargin: 14
            anchors.verticalCenter: parent.verticalCenter
        }

        Column {
            id: texts
            anchors.left: pictureSlot.right
            anchors.leftMargin: 14
            anchors.right: parent.right
            anchors.rightMargin: 14
            anchors.verticalCenter: parent.verticalCenter
            spacing: 6

            StaticText {
                objectName: "headerTitle"
                width: parent.width
                text: header.title
                font: Theme.withWeight(Theme.headline, Font.Bold)
                color: "white"
                maximumLineCount: 3
                wrapMode: Text.Wrap
                elide: Text.ElideRight
                horizontalAlignment: Text.AlignLeft
            }
            StaticText {
                objectName: "headerDescription"
                width: parent.width
                visible: text !== ""
                text: header.description
                font: Theme.caption
                color: Qt.rgba(1, 1, 1, 0.5)
                maximumLineCount: 3
                wrapMode: Text.Wrap
                elide: Text.ElideRight
                horizontalAlignment: Text.AlignLeft
            }
            StaticText {
                objectName: "headerCount"
                width: parent.width
                text: header.countText
                font: Theme.caption
                color: Qt.rgba(1, 1, 1, 0.5)
                horizontalAlignment: Text.AlignLeft
            }
        }
    }

    ButtonBase {
        objectName: "playAllButton"
        focusRingRadius: 14
        width: header.width
        topPadding: 13
        bottomPadding: 13
        hoverEnabled: true
        enabled: header.canPlayAll
        opacity: !enabled ? 0.4 : (pressed ? 0.55 : 1.0)
        Accessible.name: "پخش همه"
        onClicked: header.playAll()

        contentItem: Item {
            implicitHeight: playAllLabel.implicitHeight
            SymbolLabel {
                id: playAllLabel
                anchors.centerIn: parent
                text: "پخش همه"
                symbol: "play.fill"
                font: Theme.withWeight(Theme.subheadline, Font.Bold)
                color: "black"
            }
        }
        background: Rectangle {
            radius: 14
            color: "white"
        }
    }
}
