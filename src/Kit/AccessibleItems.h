#pragma once

#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

// What this Qt's accessibility of Qt Quick items leaves out, added to every item of every window
// (AccessibleItems.cpp wraps Qt's own interface of each item and changes only its state, its
// actions and a missing name):
//   - an item that is disabled (itself or through an ancestor) is exposed as disabled, which
//     AT-SPI reads as neither enabled nor sensitive;
//   - while a modal sheet, dialog or menu is open, what lies under it is exposed as not showing,
//     and its actions and values are out of reach;
//   - each action is listed once (Qt lists a press handled in QML twice), and an item with a
//     context menu (a MenuAction) offers the standard ShowMenu action;
//   - a password edit is named by its label, scroll bars and popup menus have a name, and a node
//     QML cannot name (a popup's own) takes the name a NodeName gives it;
//   - only what is in a scrolling view reads as showing, and a scroll bar's value is its view's
//     position (AccessibleViewport.h);
//   - a progress bar's value is how far it has come, 0 to 100;
//   - a control that declares `accessibleRole` (a check box, a radio button, a page tab) is read
//     with that role and its `checked` state (checked, or selected for a tab), a switch as a check
//     box; a node a NodeName describes has that description;
//   - a notification stays exposed under a modal sheet: it is the window's.
// And of the events Qt sends assistive technology (passesAccessibleEvent()).
// The second needs to know which popups are modal and open: each one declares a ModalCover.
//     Popup { id: sheet; modal: true; ModalCover { active: sheet.visible; content: sheet.contentItem } }
// Everything inside `content` stays exposed, as do menus opened above it; the rest of its window
// does not while `active` holds.
class ModalCover : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    Q_PROPERTY(QQuickItem *content READ content WRITE setContent NOTIFY contentChanged)

public:
    explicit ModalCover(QObject *parent = nullptr);
    ~ModalCover() override;

    bool active() const { return m_active; }
    void setActive(bool active);
    QQuickItem *content() const { return m_content; }
    void setContent(QQuickItem *content);

    // Whether an open modal cover hides `item` from assistive technology.
    static bool covers(const QQuickItem *item);

signals:
    void activeChanged();
    void contentChanged();

private:
    void update();

    bool m_active = false;
    QPointer<QQuickItem> m_content;
    bool m_registered = false;
};

// The context menu of an item, offered to assistive technology as the item's ShowMenu action
// (QAccessibleActionInterface::showMenuAction()). The action emits `requested`, which opens the
// menu the way the Menu key does; it is not offered while the item is disabled or hidden.
//     MenuAction { target: root.parent; onRequested: root.openAt(root.width / 2, root.height / 2) }
class MenuAction : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickItem *target READ target WRITE setTarget NOTIFY targetChanged)

public:
    explicit MenuAction(QObject *parent = nullptr);
    ~MenuAction() override;

    QQuickItem *target() const { return m_target; }
    void setTarget(QQuickItem *target);

    // The menu action of `item`, null when it has none.
    static MenuAction *of(const QQuickItem *item);
    // Asks for the menu (a disabled or hidden target ignores it).
    void trigger();

signals:
    void targetChanged();
    void requested();

private:
    QPointer<QQuickItem> m_target;
};

class QAccessibleEvent;

// What the kit makes of an event Qt sends assistive technology, before a reader has it:
//   - the value of a slider that `followsClock` is not pushed while it only follows its model
//     (a position moving with the clock, twice a second): a reader reads it when asked, and
//     hears the listener's own moves;
//   - the focus on a frame (the window's root, a page as it is pushed, a list on its way to its
//     first row) is not told: the control it comes to rest on is, with the page as its context;
//   - the new name of the control holding the focus is spoken (Announcements).
// Returns whether the event goes on. The application's events pass through it; a test that
// listens in place of a bridge asks it too.
bool passesAccessibleEvent(QAccessibleEvent *event);
