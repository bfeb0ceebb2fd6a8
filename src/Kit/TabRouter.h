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
// `enter(forward)` is asked the same when the focus is outside `scope` and the key would bring it
// inside: the list decides where it comes in (its first control from above, its last from below),
// not the item tree's order of the rows that happen to be built.
// A script that throws is logged and the key goes on, as if it had returned false.
//     TabRouter { scope: list; route: forward => list.tab(list.Window.activeFocusItem, forward)
//                 enter: forward => list.enterFrom(forward) }
class TabRouter : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickItem *scope READ scope WRITE setScope NOTIFY scopeChanged)
    Q_PROPERTY(QJSValue route READ route WRITE setRoute NOTIFY routeChanged)
    Q_PROPERTY(QJSValue enter READ enter WRITE setEnter NOTIFY enterChanged)

public:
    explicit TabRouter(QObject *parent = nullptr);
    ~TabRouter() override;

    QQuickItem *scope() const;
    void setScope(QQuickItem *scope);
    QJSValue route() const { return m_route; }
    void setRoute(const QJSValue &route);
    QJSValue enter() const { return m_enter; }
    void setEnter(const QJSValue &enter);

signals:
    void scopeChanged();
    void routeChanged();
    void enterChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watchWindow(QQuickWindow *window);
    // Calls `script(forward)`: whether it moved the focus.
    bool ask(const QJSValue &script, bool forward) const;

    QPointer<QQuickItem> m_scope;
    QPointer<QQuickWindow> m_window;
    QJSValue m_route;
    QJSValue m_enter;
};
