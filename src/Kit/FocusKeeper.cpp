#include "FocusKeeper.h"

#include "TabRouter.h"

#include <QKeyEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

namespace {

bool holds(const QQuickItem *scope, const QQuickItem *item)
{
    return scope && item && (scope == item || scope->isAncestorOf(item));
}

bool inPopup(const QQuickItem *item)
{
    for (const QQuickItem *it = item; it; it = it->parentItem()) {
        if (it->inherits("QQuickOverlay"))
            return true;
    }
    return false;
}

} // namespace

QQuickItem *FocusKeeper::claimingIn(QQuickItem *item)
{
    for (QQuickItem *child : item->childItems()) {
        if (!child->isVisible() || !child->isEnabled())
            continue;
        if (child->activeFocusOnTab() && child->property("claimsFocus").toBool())
            return child;
        if (QQuickItem *found = claimingIn(child))
            return found;
    }
    return nullptr;
}

FocusKeeper *FocusKeeper::of(QQuickWindow *window)
{
    if (!window)
        return nullptr;
    if (auto *keeper = window->findChild<FocusKeeper *>(QString(), Qt::FindDirectChildrenOnly))
        return keeper;
    return new FocusKeeper(window);
}

FocusKeeper::FocusKeeper(QQuickWindow *window) : QObject(window), m_window(window)
{
    m_previous = window->activeFocusItem();
    connect(window, &QQuickWindow::activeFocusItemChanged, this, &FocusKeeper::focusMoved);
    window->installEventFilter(this);
}

void FocusKeeper::add(TabRouter *router)
{
    if (!m_routers.contains(router))
        m_routers.append(router);
}

void FocusKeeper::remove(TabRouter *router)
{
    m_routers.removeAll(router);
}

void FocusKeeper::add(FocusWatch *watch)
{
    if (!m_watches.contains(watch))
        m_watches.append(watch);
}

void FocusKeeper::remove(FocusWatch *watch)
{
    m_watches.removeAll(watch);
}

TabRouter *FocusKeeper::routerHolding(const QQuickItem *item) const
{
    TabRouter *innermost = nullptr;
    for (const QPointer<TabRouter> &router : m_routers) {
        QQuickItem *scope = router ? router->scope() : nullptr;
        if (!scope || !scope->isVisible() || !holds(scope, item))
            continue;
        if (!innermost || innermost->scope()->isAncestorOf(scope))
            innermost = router;
    }
    return innermost;
}

void FocusKeeper::standIn(QQuickItem *standIn, bool keyboard)
{
    if (!standIn || standIn->window() != m_window)
        return;
    // A control of the page that claims the focus (a retry shown in place of what failed) takes
    // it rather than the title.
    for (QQuickItem *page = standIn; page; page = page->parentItem()) {
        if (page->property("titleItem").value<QQuickItem *>()) {
            if (QQuickItem *claiming = claimingIn(page)) {
                claiming->forceActiveFocus(keyboard ? Qt::TabFocusReason : Qt::OtherFocusReason);
                return;
            }
            break;
        }
    }
    m_standIn = standIn;
    m_standInByKeyboard = keyboard;
    standIn->forceActiveFocus(keyboard ? Qt::TabFocusReason : Qt::OtherFocusReason);
}

bool FocusKeeper::onStandIn() const
{
    return m_standIn && m_window->activeFocusItem() == m_standIn;
}

QQuickItem *FocusKeeper::pageTitleOf(const QQuickItem *item)
{
    for (const QQuickItem *it = item; it; it = it->parentItem()) {
        const QVariant title = it->property("titleItem");
        if (auto *found = title.value<QQuickItem *>(); found && found->isVisible())
            return found;
    }
    return nullptr;
}

void FocusKeeper::holdFor(QQuickItem *control, bool keyboard)
{
    // The page's title; on a page without a title shown, where the focus fell.
    QQuickItem *title = pageTitleOf(control);
    if (!title)
        title = m_window->activeFocusItem();
    if (!title || !control->isVisible())
        return;
    disconnect(m_awayWatch);
    m_awayControl = control;
    // (Checked once the turn is over: what enabled it may also bring a control that claims the
    // focus, a result, which goes first.)
    m_awayWatch = connect(control, &QQuickItem::enabledChanged, this, [this] {
        QTimer::singleShot(0, this, [this] {
            QQuickItem *control = m_awayControl;
            if (!control || !control->isEnabled() || !control->isVisible())
                return;
            disconnect(m_awayWatch);
            m_awayControl = nullptr;
            if (onStandIn())
                control->forceActiveFocus(m_standInByKeyboard ? Qt::TabFocusReason : Qt::OtherFocusReason);
        });
    });
    standIn(title, keyboard);
}

void FocusKeeper::focusMoved()
{
    QQuickItem *focused = m_window->activeFocusItem();
    QQuickItem *previous = m_previous;
    const bool previousShowedFocus = m_previousShowedFocus;
    m_previous = focused;
    m_previousShowedFocus = focused && focused->property("visualFocus").toBool();
    if (focused != m_standIn)
        m_standIn = nullptr;
    // A control disabled while it had the focus, which fell to what holds it.
    if (previous && !previous->isEnabled() && previous->isVisible() && previous->activeFocusOnTab()
        && (!focused || !focused->activeFocusOnTab())) {
        QPointer<QQuickItem> away(previous);
        QTimer::singleShot(0, this, [this, away, previousShowedFocus] {
            QQuickItem *focused = m_window->activeFocusItem();
            if (away && !away->isEnabled() && (!focused || !focused->activeFocusOnTab()))
                holdFor(away, previousShowedFocus);
        });
    }
    // (A copy: a list told may go, or make another, as the focus moves.)
    const QList<QPointer<TabRouter>> routers = m_routers;
    for (const QPointer<TabRouter> &router : routers) {
        if (router && (holds(router->scope(), focused) || holds(router->scope(), previous)))
            emit router->focusMoved(focused, previous);
    }
    // The list the focus was last in, kept while the focus is in a popup (a row's menu).
    if (TabRouter *list = routerHolding(focused)) {
        m_lastList = list;
        m_lastListShowedFocus = m_previousShowedFocus;
    }
    else if (focused && focused->activeFocusOnTab() && !inPopup(focused))
        m_lastList = nullptr; // a control outside every list
    if (restsNowhere() && !m_repairing) {
        m_repairing = true;
        QTimer::singleShot(0, this, &FocusKeeper::repairNowhere);
    }
    if (!m_settling && !m_watches.isEmpty()) {
        m_settling = true;
        QTimer::singleShot(0, this, &FocusKeeper::settle);
    }
}

bool FocusKeeper::restsNowhere() const
{
    QQuickItem *focused = m_window->activeFocusItem();
    return !focused || focused == m_window->contentItem()
        || focused == qvariant_cast<QQuickItem *>(m_window->property("contentItem")) || !focused->isVisible();
}

void FocusKeeper::repairNowhere()
{
    m_repairing = false;
    // (Only while the window is shown and its focus still nowhere: something else may have placed
    // it since, a popup opening, a page landing.)
    if (!m_window->isVisible() || !restsNowhere())
        return;
    QQuickItem *list = m_lastList ? m_lastList->scope() : nullptr;
    if (list && list->isVisible()) {
        emit m_lastList->focusLeftNowhere();
        if (!restsNowhere())
            return;
    }
    // The list gone from view with its last row: its page's title.
    if (QQuickItem *title = list ? pageTitleOf(list) : nullptr)
        standIn(title, m_lastListShowedFocus);
}

void FocusKeeper::settle()
{
    m_settling = false;
    const QList<QPointer<FocusWatch>> watches = m_watches;
    for (const QPointer<FocusWatch> &watch : watches) {
        if (watch && watch->active())
            emit watch->settled();
    }
}

bool FocusKeeper::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || watched != m_window)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const bool backtab = key->key() == Qt::Key_Backtab
        || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
    if (key->key() != Qt::Key_Tab && !backtab)
        return false;
    QQuickItem *focused = m_window->activeFocusItem();
    if (!focused)
        return false;
    // Inside a list (not on the list itself): the list moves it.
    if (TabRouter *router = routerHolding(focused); router && router->scope() != focused)
        return router->routeTab(!backtab);
    // Into a list from outside: the list says where it comes in.
    QQuickItem *next = focused->nextItemInFocusChain(!backtab);
    TabRouter *into = next ? routerHolding(next) : nullptr;
    if (!into || into->scope() == focused || !into->canEnter() || holds(into->scope(), focused))
        return false;
    return into->enterFrom(!backtab);
}

// ------------------------------------------------------------------ FocusWatch

FocusWatch::FocusWatch(QObject *parent) : QObject(parent) {}

void FocusWatch::setItem(QQuickItem *item)
{
    if (m_link.setItem(item))
        emit itemChanged();
}

void FocusWatch::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    emit activeChanged();
}
