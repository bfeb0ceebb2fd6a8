#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

class QQuickItem;
class QQuickWindow;
class TabRouter;
class FocusWatch;

// The one observer of a window's keyboard focus, made the first time something asks for it. It
// tells the lists that build their rows as they come into view (their TabRouter) every move of
// the focus into, within or out of them, as it happens; hands them Tab and Backtab before the
// focused control moves the focus along the item tree; and, once the moves of a turn of the
// event loop have settled, tells the FocusWatch of each open sheet or cover where the focus came
// to rest. Nothing else watches the window's focus.
class FocusKeeper : public QObject
{
    Q_OBJECT

public:
    static FocusKeeper *of(QQuickWindow *window);

    // The innermost visible router whose scope holds `item` (itself included); null when none.
    TabRouter *routerHolding(const QQuickItem *item) const;

    void add(TabRouter *router);
    void remove(TabRouter *router);
    void add(FocusWatch *watch);
    void remove(FocusWatch *watch);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit FocusKeeper(QQuickWindow *window);
    void focusMoved();
    void settle();

    QQuickWindow *m_window;
    QPointer<QQuickItem> m_previous;
    QList<QPointer<TabRouter>> m_routers;
    QList<QPointer<FocusWatch>> m_watches;
    bool m_settling = false;
};

// Told, once the moves of the focus in a turn of the event loop have settled, where it rests:
// the window's `activeFocusItem` after them. Only while `active`.
//     FocusWatch { item: popup.contentItem; active: popup.opened; onSettled: keepFocusInside() }
class FocusWatch : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickItem *item READ item WRITE setItem NOTIFY itemChanged)
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)

public:
    explicit FocusWatch(QObject *parent = nullptr);
    ~FocusWatch() override;

    QQuickItem *item() const;
    void setItem(QQuickItem *item);
    bool active() const { return m_active; }
    void setActive(bool active);

signals:
    void itemChanged();
    void activeChanged();
    void settled();

private:
    void follow();

    QPointer<QQuickItem> m_item;
    QPointer<FocusKeeper> m_keeper;
    bool m_active = true;
};
