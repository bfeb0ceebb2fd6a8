import QtQuick
import Melodrift

// The keyboard focus ring: a white outline around its target (the parent unless
// given) while the target holds focus that came from the keyboard (Tab, Backtab, a shortcut), never
// after a mouse click. When it shows, it scrolls every scrolling area that holds the target (a
// Flickable, ListView, ScrollView…) just enough to bring the target into view.
// The kit's buttons draw their own (ButtonBase); any other focusable item adds one:
//     Item { activeFocusOnTab: true; FocusRing { radius: 14 } }
// A scrolling area that keeps its lower edge covered (the mini player bar) can say by how much
// with a `focusBottomInset` property; the ring keeps the target above it.
// The ring goes around the control, clear of its text: a control whose text runs to its side edges
// (a text button, a row) widens it with `horizontalGap`, as glyphs reach a pixel or two past their
// advance. A control that fills a clipped area (a list's row, a dialog's full-width button) draws
// it inside its edges with a negative gap, so that no side of it is cut off.
Rectangle {
    id: ring

    property Item target: parent
    // Shown for keyboard focus: a control's visualFocus, else any active focus.
    readonly property bool shown: target !== null
                                  && (target.visualFocus !== undefined ? target.visualFocus : target.activeFocus)
    // How far the ring stands outside the target: above and below, and at the sides.
    property real gap: 3
    property real horizontalGap: gap
    // Room kept around the target when scrolling it into view.
    property real scrollMargin: 12

    x: target && target !== parent ? target.mapToItem(parent, 0, 0).x - horizontalGap : -horizontalGap
    y: target && target !== parent ? target.mapToItem(parent, 0, 0).y - gap : -gap
    width: (target ? target.width : 0) + 2 * horizontalGap
    height: (target ? target.height : 0) + 2 * gap
    z: 1000
    visible: shown
    radius: 8
    color: "transparent"
    border.width: 2
    // White: it stands out on the dark background, on accent fills and apart from the accent
    // border of a selected card.
    border.color: Theme.label
    Accessible.ignored: true

    onShownChanged: {
        if (shown)
            Qt.callLater(ring.scrollIntoView)
    }

    function scrollIntoView() {
        if (!shown || !target)
            return
        for (let area = target.parent; area; area = area.parent) {
            if (area.contentItem !== undefined && area.contentY !== undefined
                    && area.flickableDirection !== undefined)
                bringIntoView(area)
        }
    }

    // Scrolls `area` (a Flickable) so that the target lies inside its visible part.
    function bringIntoView(area) {
        const r = target.mapToItem(area.contentItem, 0, 0, target.width, target.height)
        const bottomInset = area.focusBottomInset !== undefined ? area.focusBottomInset : 0
        if (area.contentHeight > area.height) {
            const top = area.originY - area.topMargin
            const bottom = area.originY + area.contentHeight + area.bottomMargin - area.height
            let y = area.contentY
            if (r.y + r.height + scrollMargin > y + area.height - bottomInset)
                y = r.y + r.height + scrollMargin - area.height + bottomInset
            if (r.y - scrollMargin < y)
                y = r.y - scrollMargin
            area.contentY = Math.max(top, Math.min(bottom, y))
        }
        if (area.contentWidth > area.width) {
            const left = area.originX - area.leftMargin
            const right = area.originX + area.contentWidth + area.rightMargin - area.width
            let x = area.contentX
            if (r.x + r.width + scrollMargin > x + area.width)
                x = r.x + r.width + scrollMargin - area.width
            if (r.x - scrollMargin < x)
                x = r.x - scrollMargin
            area.contentX = Math.max(left, Math.min(right, x))
        }
    }
}
