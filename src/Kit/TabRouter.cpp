#include "TabRouter.h"

#include <QKeyEvent>
#include <QLoggingCategory>
#include <QQuickItem>
#include <QQuickWindow>

Q_LOGGING_CATEGORY(lcTabRouter, "melodrift.tabrouter")

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

void TabRouter::setEnter(const QJSValue &enter)
{
    m_enter = enter;
    emit enterChanged();
}

bool TabRouter::ask(const QJSValue &script, bool forward) const
{
    if (!script.isCallable())
        return false;
    QJSValue call = script; // the call may replace the property
    const QJSValue result = call.call({QJSValue(forward)});
    if (result.isError()) {
        qCWarning(lcTabRouter).noquote()
            << "Tab handler failed, the key goes on:" << result.toString()
            << result.property(QStringLiteral("stack")).toString();
        return false;
    }
    return result.isBool() && result.toBool();
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
    if (event->type() != QEvent::KeyPress || watched != m_window || !m_scope || !m_scope->isVisible())
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
    if (focused != m_scope && m_scope->isAncestorOf(focused))
        return ask(m_route, !backtab);
    if (focused == m_scope || !m_enter.isCallable())
        return false;
    QQuickItem *next = focused->nextItemInFocusChain(!backtab);
    if (!next || (next != m_scope && !m_scope->isAncestorOf(next)))
        return false;
    return ask(m_enter, !backtab);
}
