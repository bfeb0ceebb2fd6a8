#pragma once

#include "FocusKeeper.h"

#include <QJSValue>
#include <QObject>
#include <QtQml/qqmlregistration.h>

// A list that builds its rows as they come into view, as the window's FocusKeeper knows it: its
// rows are not all in the item tree, nor in their order, so the tree's own focus chain would skip
// rows or wander, and the list moves the focus itself.
//   - `route(forward)` is handed Tab and Backtab while the keyboard focus lies inside `scope`,
//     before the focused control moves the focus along the item tree; it returns true when it
//     moved the focus (the window's activeFocusItem is the control the key was pressed on),
//     otherwise the key goes on as usual.
//   - `enter(forward)` is asked the same when the focus is outside `scope` and the key would bring
//     it inside: the list decides where it comes in (its first control from above, its last from
//     below), not the item tree's order of the rows that happen to be built.
//   - `landInView(keyboard)` is asked to give the focus to the list's first control in view when
//     the focus lands in what holds the list (a page shown again, a sheet closed): true when it did.
//   - focusMoved(focused, previous) tells every move of the focus into, within or out of `scope`;
//     focusLeftNowhere() that the focus, last in the list, went on to what then left it nowhere
//     (a row's menu closed as its row was removed): the list gives it to the item now in its place.
// A script that throws is logged and taken as false.
//     TabRouter { scope: list; route: forward => list.tab(list.Window.activeFocusItem, forward)
//                 enter: forward => list.enterFrom(forward); landInView: keyboard => list.landInView(keyboard)
//                 onFocusMoved: (focused, previous) => list.follow(focused, previous) }
class TabRouter : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickItem *scope READ scope WRITE setScope NOTIFY scopeChanged)
    Q_PROPERTY(QJSValue route READ route WRITE setRoute NOTIFY routeChanged)
    Q_PROPERTY(QJSValue enter READ enter WRITE setEnter NOTIFY enterChanged)
    Q_PROPERTY(QJSValue landInView READ landInView WRITE setLandInView NOTIFY landInViewChanged)

public:
    explicit TabRouter(QObject *parent = nullptr);

    QQuickItem *scope() const { return m_link.item(); }
    void setScope(QQuickItem *scope);
    QJSValue route() const { return m_route; }
    void setRoute(const QJSValue &route);
    QJSValue enter() const { return m_enter; }
    void setEnter(const QJSValue &enter);
    QJSValue landInView() const { return m_landInView; }
    void setLandInView(const QJSValue &landInView);

    // For the keeper: each asks its script; whether it moved the focus.
    bool routeTab(bool forward) const { return ask(m_route, forward); }
    bool enterFrom(bool forward) const { return ask(m_enter, forward); }
    bool landFocusInView(bool keyboard) const { return ask(m_landInView, keyboard); }
    bool canEnter() const { return m_enter.isCallable(); }

signals:
    void scopeChanged();
    void routeChanged();
    void enterChanged();
    void landInViewChanged();
    void focusMoved(QQuickItem *focused, QQuickItem *previous);
    // The focus left the list for a popup (a row's menu), which went and left it nowhere.
    void focusLeftNowhere();

private:
    // Calls `script(argument)`: whether it moved the focus.
    bool ask(const QJSValue &script, bool argument) const;

    KeeperLink<TabRouter> m_link{this};
    QJSValue m_route;
    QJSValue m_enter;
    QJSValue m_landInView;
};
