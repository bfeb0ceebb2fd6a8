#include "FocusLanding.h"

#include <QQuickItem>
#include <QQuickWindow>

namespace {

bool isInside(const QQuickItem *item, const QQuickItem *ancestor)
{
    for (const QQuickItem *i = item; i; i = i->parentItem()) {
        if (i == ancestor)
            return true;
    }
    return false;
}

} // namespace

bool FocusLanding::enter(QQuickItem *container, bool keyboard)
{
    QQuickWindow *window = container ? container->window() : nullptr;
    if (!window || !container->isVisible())
        return false;
    // Only focus still on the container (or on what holds it, the popup, or on nothing) moves:
    // focus the screen gave one of its controls, or the listener moved on meanwhile (a menu
    // opened before a sheet's opening ended), stays.
    QQuickItem *focused = window->activeFocusItem();
    if (focused && focused != window->contentItem() && !isInside(container, focused))
        return isInside(focused, container);
    return moveInto(container, keyboard);
}

bool FocusLanding::moveInto(QQuickItem *container, bool keyboard)
{
    if (!container || !container->window() || !container->isVisible())
        return false;
    // The Tab order from the container: its first control is the next item after it, as long as
    // the chain has not left it.
    QQuickItem *first = container->nextItemInFocusChain(true);
    if (!first || first == container || !isInside(first, container))
        return false;
    first->forceActiveFocus(keyboard ? Qt::TabFocusReason : Qt::OtherFocusReason);
    return first->hasActiveFocus();
}

bool FocusLanding::focusWithin(QQuickItem *item)
{
    QQuickWindow *window = item ? item->window() : nullptr;
    if (!window)
        return false;
    QQuickItem *focused = window->activeFocusItem();
    return !focused || focused == window->contentItem() || isInside(focused, item);
}

bool FocusLanding::keyboardFocused(QQuickItem *item)
{
    QQuickWindow *window = item ? item->window() : nullptr;
    QQuickItem *focused = window ? window->activeFocusItem() : nullptr;
    return focused && focused->property("visualFocus").toBool();
}
