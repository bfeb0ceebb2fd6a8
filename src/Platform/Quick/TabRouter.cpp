#include "TabRouter.h"

#include <QKeyEvent>
#include <QQuickItem>
#include <QQuickWindow>

TabRouter::TabRouter(QObject *parent) : QObject(parent) {}

TabRouter::~TabRouter()
{
    watchWindow(nullptr);
}

QQuickItem *TabRouter::scope() const
{
    return m_scope;
}

void TabRouter::setScope(QQuickItem *scope)
{
    if (m_scope == scope)
        return;
    if (m_scope)
        disconnect(m_scope, nullptr, this, nullptr);
    m_scope = scope;
    if (scope)
        connect(scope, &QQuickItem::windowChanged, this, &TabRouter::watchWindow);
    watchWindow(scope ? scope->window() : nullptr);
    emit scopeChanged();
}

void TabRouter::setRoute(const QJSValue &route)
{
    m_route = route;
    emit routeChanged();
}

void TabRouter::watchWindow(QQuickWindow *window)
{
    if (m_window == window)
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    if (window)
        window->installEventFilter(this);
}

bool TabRouter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || watched != m_window || !m_scope || !m_route.isCallable())
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const bool backtab = key->key() == Qt::Key_Backtab
        || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
    if (key->key() != Qt::Key_Tab && !backtab)
        return false;

    QQuickItem *focused = m_window->activeFocusItem();
    if (!focused || focused == m_scope || !m_scope->isAncestorOf(focused))
        return false;
    QJSValue route = m_route; // the call may replace the property
    return route.call({QJSValue(!backtab)}).toBool();
}
