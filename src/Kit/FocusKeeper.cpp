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

} // namespace

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

void FocusKeeper::focusMoved()
{
    QQuickItem *focused = m_window->activeFocusItem();
    QQuickItem *previous = m_previous;
    m_previous = focused;
    // (A copy: a list told may go, or make another, as the focus moves.)
    const QList<QPointer<TabRouter>> routers = m_routers;
    for (const QPointer<TabRouter> &router : routers) {
        if (router && (holds(router->scope(), focused) || holds(router->scope(), previous)))
            emit router->focusMoved(focused, previous);
    }
    if (!m_settling && !m_watches.isEmpty()) {
        m_settling = true;
        QTimer::singleShot(0, this, &FocusKeeper::settle);
    }
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

FocusWatch::~FocusWatch()
{
    if (m_keeper)
        m_keeper->remove(this);
}

QQuickItem *FocusWatch::item() const
{
    return m_item;
}

void FocusWatch::setItem(QQuickItem *item)
{
    if (m_item == item)
        return;
    if (m_item)
        disconnect(m_item, nullptr, this, nullptr);
    m_item = item;
    if (item)
        connect(item, &QQuickItem::windowChanged, this, &FocusWatch::follow);
    follow();
    emit itemChanged();
}

void FocusWatch::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    emit activeChanged();
}

void FocusWatch::follow()
{
    FocusKeeper *keeper = m_item && m_item->window() ? FocusKeeper::of(m_item->window()) : nullptr;
    if (m_keeper == keeper)
        return;
    if (m_keeper)
        m_keeper->remove(this);
    m_keeper = keeper;
    if (keeper)
        keeper->add(this);
}
