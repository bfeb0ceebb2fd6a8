#pragma once

#include <QJSValue>
#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

class QQuickItem;
class QQuickWindow;

// Hands Tab and Backtab to `route` while the keyboard focus lies inside `scope`, before the focused
// control moves the focus along the item tree itself. A list that builds its rows as they come into
// view needs this: its rows are not all in the tree, nor in their order, so the tree's own focus
// chain would skip rows or wander. `route(forward)` returns true when it moved the focus (the window's
// activeFocusItem is the control the key was pressed on); otherwise the key goes on as usual.
//     TabRouter { scope: list; route: forward => list.tab(list.Window.activeFocusItem, forward) }
class TabRouter : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickItem *scope READ scope WRITE setScope NOTIFY scopeChanged)
    Q_PROPERTY(QJSValue route READ route WRITE setRoute NOTIFY routeChanged)

public:
    explicit TabRouter(QObject *parent = nullptr);
    ~TabRouter() override;

    QQuickItem *scope() const;
    void setScope(QQuickItem *scope);
    QJSValue route() const { return m_route; }
    void setRoute(const QJSValue &route);

signals:
    void scopeChanged();
    void routeChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watchWindow(QQuickWindow *window);

    QPointer<QQuickItem> m_scope;
    QPointer<QQuickWindow> m_window;
    QJSValue m_route;
};
