import QtQuick
import QtQuick.Controls
import Melodrift

// The bordered-prominent button style: the label in white on a rounded fill of the tint (the
// window's tint, the accent colour, unless given).
//     ProminentButton { text: "تلاش دوباره"; onClicked: model.retry() }
ButtonBase {
    id: control

    property string symbol
    property color tint: Theme.accent
    property color color: "white"

    font: Theme.body
    leftPadding: 14
    rightPadding: 14
    topPadding: 7
    bottomPadding: 7
    spacing: 6
    focusRingRadius: 11

    contentItem: SymbolLabel {
        text: control.text
        symbol: control.symbol
        font: control.font
        color: control.color
        spacing: control.spacing
    }

    background: Rectangle {
        implicitHeight: 34
        radius: 8
        color: control.enabled ? control.tint : Theme.tertiaryBackground
        opacity: control.pressed ? 0.7 : 1.0
    }
}
