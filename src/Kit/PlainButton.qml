import QtQuick
import QtQuick.Controls
import Melodrift

// The plain button style: the label as it is, dimmed while pressed. Its label is a symbol and/or
// a text in the leading-to-trailing order of a label (symbol first, so at the right in RTL):
//     PlainButton { text: "پخش همه"; symbol: "play.fill"; font: Theme.subheadline; onClicked: ... }
// Any other label: set `contentItem`. An icon-only button names its action for assistive
// technology: `Accessible.name: "جستجو"`.
ButtonBase {
    id: control

    property string symbol
    property real symbolSize: font.pixelSize
    property color color: Theme.label

    font: Theme.body
    padding: 0
    spacing: 6
    background: null
    // Its text runs to its edges: the ring keeps clear of the glyphs.
    focusRing.horizontalGap: text !== "" ? 6 : focusRing.gap

    contentItem: SymbolLabel {
        text: control.text
        symbol: control.symbol
        symbolSize: control.symbolSize
        font: control.font
        color: control.color
        spacing: control.spacing
    }

    // A plain button shows its press by dimming its label.
    opacity: pressed ? 0.55 : (enabled ? 1.0 : 0.4)
}
