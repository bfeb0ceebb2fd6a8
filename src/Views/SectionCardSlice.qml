import QtQuick

// The background of the library tab's section cards (rounded by 22, white at 4 %), or a
// horizontal slice of it for a card drawn over several rows of a list: the first slice keeps its
// top corners round, the last its bottom ones.
//     SectionCardSlice { width: 360; height: 80; roundTop: false; roundBottom: isLast }
Item {
    id: slice

    property bool roundTop: true
    property bool roundBottom: true

    clip: !(roundTop && roundBottom)

    Rectangle {
        readonly property real cut: radius
        y: slice.roundTop ? 0 : -cut
        width: slice.width
        height: slice.height + (slice.roundTop ? 0 : cut) + (slice.roundBottom ? 0 : cut)
        radius: 22
        color: Qt.rgba(1, 1, 1, 0.04)
    }
}
