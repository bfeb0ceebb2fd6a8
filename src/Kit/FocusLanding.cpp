#include "FocusLanding.h"

#include "FocusKeeper.h"
#include "TabRouter.h"

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

// Whether the focus is as good as nowhere: on the window itself (its root, or an application
// window's content item, where a closed popup leaves it) or on an item out of sight (a tab no
// longer shown).
bool holdsNothing(QQuickWindow *window, const QQuickItem *focused)
{
    return focused == window->contentItem() || focused == qvariant_cast<QQuickItem *>(window->property("contentItem"))
           || !focused->isVisible();
}

// Whether `item` can be seen: inside the window and inside every clipping item that holds it (a
// list's rows scrolled away, built or not, are not).
bool inView(const QQuickItem *item)
{
    const QRectF own = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    const QQuickWindow *window = item->window();
    if (!window || !own.intersects(QRectF(QPointF(0, 0), window->size())))
        return false;
    for (const QQuickItem *it = item->parentItem(); it; it = it->parentItem()) {
        if (it->clip() && !own.intersects(it->mapRectToScene(QRectF(0, 0, it->width(), it->height()))))
            return false;
    }
    return true;
}

// The popup (its item, a child of the window's overlay) holding `item`; null when none does.
const QQuickItem *popupHolding(const QQuickItem *item)
{
    for (const QQuickItem *it = item; it && it->parentItem(); it = it->parentItem()) {
        if (it->parentItem()->inherits("QQuickOverlay"))
            return it;
    }
    return nullptr;
}

// Whether `item` is in a row of a list view that was taken out of the model: it stays a moment,
// at index -1, before it goes.
bool inRemovedRow(const QQuickItem *item)
{
    for (const QQuickItem *it = item; it && it->parentItem(); it = it->parentItem()) {
        const QQuickItem *view = it->parentItem()->parentItem();
        if (view && view->inherits("QQuickItemView")) {
            const QVariant index = it->property("index");
            return index.isValid() && index.toInt() < 0;
        }
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
    if (focused && !holdsNothing(window, focused) && !isInside(container, focused))
        return isInside(focused, container);
    return moveInto(container, keyboard);
}

bool FocusLanding::moveInto(QQuickItem *container, bool keyboard)
{
    if (!container || !container->window() || !container->isVisible())
        return false;
    // The Tab order from the container: its first control is the next item after it, as long as
    // the chain has not left it; the first one in view, when the first is scrolled away (a row a
    // long list keeps built far below). A list inside that builds its rows as they come into view
    // holds them in no order: it lands the focus on its first control in view itself.
    FocusKeeper *keeper = FocusKeeper::of(container->window());
    if (QQuickItem *claiming = FocusKeeper::claimingIn(container); claiming && inView(claiming)) {
        claiming->forceActiveFocus(keyboard ? Qt::TabFocusReason : Qt::OtherFocusReason);
        return claiming->hasActiveFocus();
    }
    QQuickItem *first = container->nextItemInFocusChain(true);
    if (!first || first == container || !isInside(first, container))
        return false;
    QQuickItem *next = first;
    QQuickItem *askedList = nullptr;
    for (int guard = 0; next && guard < 500; ++guard) {
        TabRouter *list = keeper->routerHolding(next);
        if (list && list->scope() != container && isInside(list->scope(), container)) {
            if (list->scope() != askedList) {
                askedList = list->scope();
                if (list->landFocusInView(keyboard))
                    return true;
            }
        } else if (inView(next)) {
            break;
        }
        next = next->nextItemInFocusChain(true);
        if (!next || next == first || !isInside(next, container))
            next = nullptr;
    }
    if (next)
        first = next;
    first->forceActiveFocus(keyboard ? Qt::TabFocusReason : Qt::OtherFocusReason);
    return first->hasActiveFocus();
}

bool FocusLanding::standInFor(QQuickItem *item, bool keyboard)
{
    QQuickItem *title = item && item->window() ? FocusKeeper::pageTitleOf(item) : nullptr;
    if (!title)
        return false;
    FocusKeeper::of(item->window())->standIn(title, keyboard);
    return true;
}

bool FocusLanding::onStandIn(QQuickItem *item)
{
    return item && item->window() && FocusKeeper::of(item->window())->onStandIn();
}

bool FocusLanding::standInByKeyboard(QQuickItem *item)
{
    return item && item->window() && FocusKeeper::of(item->window())->standInByKeyboard();
}

bool FocusLanding::isInView(QQuickItem *item)
{
    return item && item->isVisible() && inView(item);
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

QQuickItem *FocusLanding::focusedItem(QQuickItem *item)
{
    QQuickWindow *window = item ? item->window() : nullptr;
    return window ? window->activeFocusItem() : nullptr;
}

bool FocusLanding::returnTo(QQuickItem *opener, QObject *popup, bool keyboard, QQuickItem *restored)
{
    // What the popup covered: the item it is declared in (a window's is its content item).
    QQuickItem *covered = nullptr;
    for (QObject *o = popup ? popup->parent() : nullptr; o && !covered; o = o->parent()) {
        if (auto *window = qobject_cast<QQuickWindow *>(o))
            covered = window->contentItem();
        else
            covered = qobject_cast<QQuickItem *>(o);
    }
    QQuickItem *anchor = opener ? opener : covered;
    QQuickWindow *window = anchor ? anchor->window() : nullptr;
    if (!window)
        return false;
    QQuickItem *focused = window->activeFocusItem();
    if (focused && focused != restored && !holdsNothing(window, focused) && focused->activeFocusOnTab())
        return true;
    if (opener && opener->isVisible() && opener->isEnabled() && opener->activeFocusOnTab()) {
        opener->forceActiveFocus(keyboard ? Qt::TabFocusReason : Qt::OtherFocusReason);
        if (opener->hasActiveFocus())
            return true;
    }
    if (!covered)
        return false;
    if (focused && focused != restored && !holdsNothing(window, focused) && !isInside(covered, focused))
        return enter(covered, keyboard);
    return moveInto(covered, keyboard);
}

bool FocusLanding::returnFromMenu(QQuickItem *opener, QQuickItem *menu, bool keyboard)
{
    QQuickWindow *window = opener ? opener->window() : nullptr;
    if (!window)
        return false;
    QQuickItem *focused = window->activeFocusItem();
    // A sheet or dialog a choice opened took it (not the one the opener lies in).
    if (focused && !holdsNothing(window, focused)) {
        const QQuickItem *popup = popupHolding(focused);
        if (popup && popup != menu && popup != popupHolding(opener))
            return false;
    }
    if (!opener->isVisible() || !opener->isEnabled() || !opener->activeFocusOnTab() || inRemovedRow(opener))
        return false;
    const Qt::FocusReason reason = keyboard ? Qt::TabFocusReason : Qt::PopupFocusReason;
    // Already back on it (Qt gives the focus back to what had it under the menu) but as a popup's
    // return, which hides the focus ring a keyboard user needs to see.
    if (opener->hasActiveFocus() && opener->property("focusReason").isValid())
        opener->setProperty("focusReason", reason);
    else
        opener->forceActiveFocus(reason);
    return opener->hasActiveFocus();
}
