#include "TabRouter.h"

#include "FocusKeeper.h"

#include <QLoggingCategory>
#include <QQuickItem>
#include <QQuickWindow>

Q_LOGGING_CATEGORY(lcTabRouter, "melodrift.tabrouter")

TabRouter::TabRouter(QObject *parent) : QObject(parent) {}

void TabRouter::setScope(QQuickItem *scope)
{
    if (m_link.setItem(scope))
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

void TabRouter::setLandInView(const QJSValue &landInView)
{
    m_landInView = landInView;
    emit landInViewChanged();
}

bool TabRouter::ask(const QJSValue &script, bool argument) const
{
    if (!script.isCallable())
        return false;
    QJSValue call = script; // the call may replace the property
    const QJSValue result = call.call({QJSValue(argument)});
    if (result.isError()) {
        qCWarning(lcTabRouter).noquote()
            << "Focus handler failed, taken as not moved:" << result.toString()
            << result.property(QStringLiteral("stack")).toString();
        return false;
    }
    return result.isBool() && result.toBool();
}
