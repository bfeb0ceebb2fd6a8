#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

class QQuickWindow;
class TabRouter;
class FocusWatch;

// The one observer of a window's keyboard focus, made the first time something asks for it. It
// tells the lists that build their rows as they come into view (their TabRouter) every move of
// the focus into, within or out of them, as it happens; hands them Tab and Backtab before the
// focused control moves the focus along the item tree; and, once the moves of a turn of the
// event loop have settled, tells the FocusWatch of each open sheet or cover where the focus came
// to rest. Nothing else watches the window's focus.
// It also keeps the focus of a control that is away for a while: a control disabled while it had
// the focus (a button while its work runs, a row while it is added to) leaves it on a stand-in,
// the title of its page, and takes it back once enabled, unless the listener has moved it since or
// a control that claims the focus (a retry, what the work produced) has come and taken it.
class FocusKeeper : public QObject
{
    Q_OBJECT

public:
    static FocusKeeper *of(QQuickWindow *window);

    // The innermost visible router whose scope holds `item` (itself included); null when none.
    TabRouter *routerHolding(const QQuickItem *item) const;

    // Puts the focus on `standIn` (a page's title) for a control that will come back for it.
    void standIn(QQuickItem *standIn, bool keyboard);
    // Whether the focus still rests on the stand-in, and whether the keyboard had it before.
    bool onStandIn() const;
    bool standInByKeyboard() const { return m_standInByKeyboard; }
    // A shown control below `item` that claims the focus where it is (a retry in place of what
    // failed); null when none does.
    static QQuickItem *claimingIn(QQuickItem *item);
    // The title of the page that holds `item`, for the stand-in; null when none holds it.
    static QQuickItem *pageTitleOf(const QQuickItem *item);

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
    // `control` lost the focus by being disabled: the stand-in holds it until it is enabled again.
    void holdFor(QQuickItem *control, bool keyboard);
    // Whether the focus rests on nothing a listener can use: none, the window's root, an item out
    // of sight.
    bool restsNowhere() const;
    // The focus was left nowhere (a menu closed with the row it was opened from): the list it was
    // in last takes it back, else the first control in view of the window.
    void repairNowhere();

    QPointer<TabRouter> m_lastList;
    bool m_lastListShowedFocus = false;
    bool m_repairing = false;

    QPointer<QQuickItem> m_standIn;
    bool m_standInByKeyboard = false;
    QPointer<QQuickItem> m_awayControl;
    QMetaObject::Connection m_awayWatch;

    QQuickWindow *m_window;
    QPointer<QQuickItem> m_previous;
    bool m_previousShowedFocus = false;
    QList<QPointer<TabRouter>> m_routers;
    QList<QPointer<FocusWatch>> m_watches;
    bool m_settling = false;
};

// What makes a TabRouter or a FocusWatch known to the keeper of its item's window, whichever
// window the item comes to be shown in.
template <typename Client>
class KeeperLink
{
public:
    explicit KeeperLink(Client *client) : m_client(client) {}
    ~KeeperLink()
    {
        if (m_keeper)
            m_keeper->remove(m_client);
    }
    KeeperLink(const KeeperLink &) = delete;
    KeeperLink &operator=(const KeeperLink &) = delete;

    QQuickItem *item() const { return m_item; }
    // False when `item` is the item already.
    bool setItem(QQuickItem *item)
    {
        if (m_item == item)
            return false;
        QObject::disconnect(m_windowWatch);
        m_item = item;
        if (item)
            m_windowWatch = QObject::connect(item, &QQuickItem::windowChanged, m_client, [this] { follow(); });
        follow();
        return true;
    }

private:
    void follow()
    {
        FocusKeeper *keeper = m_item && m_item->window() ? FocusKeeper::of(m_item->window()) : nullptr;
        if (m_keeper == keeper)
            return;
        if (m_keeper)
            m_keeper->remove(m_client);
        m_keeper = keeper;
        if (keeper)
            keeper->add(m_client);
    }

    Client *m_client;
    QPointer<QQuickItem> m_item;
    QPointer<FocusKeeper> m_keeper;
    QMetaObject::Connection m_windowWatch;
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

    QQuickItem *item() const { return m_link.item(); }
    void setItem(QQuickItem *item);
    bool active() const { return m_active; }
    void setActive(bool active);

signals:
    void itemChanged();
    void activeChanged();
    void settled();

private:
    KeeperLink<FocusWatch> m_link{this};
    bool m_active = true;
};
