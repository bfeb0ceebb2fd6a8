import QtQuick
import Melodrift

// The frame of the library tab's section cards: a column (spacing 12, padded 16) on a rounded
// rectangle of radius 22, white at 4 %. Children go into the column; `innerWidth` is its width.
//     SectionCardFrame { width: 360; StaticText { width: parent.width; text: "..." } }
SectionCardSlice {
    id: frame

    default property alias content: column.data
    readonly property real innerWidth: width - 32

    implicitWidth: 360
    implicitHeight: column.implicitHeight + 32

    Column {
        id: column
        x: 16
        y: 16
        width: frame.innerWidth
        spacing: 12
    }
}
