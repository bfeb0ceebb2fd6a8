#pragma once

#include <QAccessibleValueInterface>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QQuickItem;

// What a screen reader is told of scrolling, for the kit's accessible layer (AccessibleItems.cpp).
//
// Only what is in view reads as showing: an item that lies wholly outside the viewport of a
// scrolling view it is in (a list, a menu's list, a scrolling page) is offscreen, as are the rows
// a list builds ahead of the view and the items a menu holds aside. Nothing else is (Qt's own rule, outside the window,
// would have a sheet read offscreen while it slides in). Once assistive technology has read an item's state
// it is told when scrolling brings the item into view or takes it out (a "showing" change), and
// a scroll bar's value as it moves. That work is done at most ten times a second while something
// scrolls, and only while assistive technology is active.
namespace accessibleviewport {

// Whether `item` lies outside what its scrolling views show. It is watched from then on (see
// above).
bool outOfView(const QQuickItem *item);

// A scroll bar's value for assistive technology: how far the view is scrolled, in per cent of how
// far it can be (0 at the top, 100 at the end), with its page as the step. Setting it scrolls the
// view as dragging the bar does. A bar whose view cannot scroll exposes no value.
class ScrollBarValue : public QAccessibleValueInterface
{
public:
    explicit ScrollBarValue(QQuickItem *item);

    // Whether `item` is a scroll bar (QtQuick.Controls' ScrollBar).
    static bool isScrollBar(const QQuickItem *item);

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant &value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;
    // The value, without watching the bar.
    QVariant percent() const;
    // Whether its view can scroll: a bar that cannot exposes no value at all.
    bool scrolls() const { return travel() > 0; }

private:
    // The part of its range the bar can move through (1 less its size); 0 when nothing scrolls.
    double travel() const;

    QPointer<QQuickItem> m_item;
};

// Watches one scrolling view (a Flickable) for the items inside it that assistive technology
// has seen, and tells it of their showing changes and of its scroll bars' values.
class ViewportWatch : public QObject
{
    Q_OBJECT

public:
    // The watch of `flickable`, made on first use; it lives as long as the flickable.
    static ViewportWatch *of(QQuickItem *flickable);

    // Watches `item`, whose in-view state `inView` assistive technology was just given.
    void watch(const QQuickItem *item, bool inView);

private slots:
    void moved();

private:
    explicit ViewportWatch(QQuickItem *flickable);
    void check();

    struct Seen
    {
        QPointer<QQuickItem> item;
        bool inView = true;
        double value = 0; // a scroll bar's, as last told
    };
    QHash<const QQuickItem *, Seen> m_seen;
    QTimer m_pending;
};

} // namespace accessibleviewport
