#pragma once

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleInterface>
#include <QList>
#include <QQuickWindow>
#include <QString>

// Assistive technology's view of a window, through Qt's accessibility interfaces: the tree a screen
// reader walks, the names and roles it reads, and the press action it performs.
namespace accessibletree {

// Turns Qt's accessibility on for the life of the object, as a screen reader on the bus does (the
// controls then set up their accessible state).
class Session
{
public:
    Session() : m_wasActive(QAccessible::isActive()) { QAccessible::setActive(true); }
    ~Session() { QAccessible::setActive(m_wasActive); }
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

private:
    bool m_wasActive;
};

// A screen reader listening: while it lives, Qt's accessibility is active as with a bridge that has
// a client (QAccessible::isActive()), and it takes the events Qt sends that the kit lets a bridge
// pass on (passesAccessibleEvent()), with what a reader finds at each event's source.
class EventLog
{
public:
    struct Event
    {
        QObject *object;
        QAccessible::Event type;
        QString name; // the source's name as the event came
    };

    EventLog();
    ~EventLog();
    EventLog(const EventLog &) = delete;
    EventLog &operator=(const EventLog &) = delete;

    // The events of `type` from `object`.
    QList<Event> of(const QObject *object, QAccessible::Event type) const;
    // The names `object` had each time it appeared: what a screen reader speaks of a notification.
    QStringList appearances(const QObject *object) const;

private:
    static void record(QAccessibleEvent *event);

    QList<Event> m_events;
    QAccessible::UpdateHandler m_previous;
    bool m_wasActive;
};

// Every node below the window (the window's own node excluded), depth first.
QList<QAccessibleInterface *> nodes(QQuickWindow *window);
// The nodes a screen reader presents: showing (neither invisible nor out of view).
QList<QAccessibleInterface *> shownNodes(QQuickWindow *window);
// The first shown node with this name (and role, unless NoRole); null when there is none.
QAccessibleInterface *shownNode(QQuickWindow *window, const QString &name,
                                QAccessible::Role role = QAccessible::NoRole);
// The names of the shown nodes of a role.
QStringList shownNames(QQuickWindow *window, QAccessible::Role role);
// Performs the node's press action; false when it offers none.
bool press(QAccessibleInterface *node);
// The data texts a sighted user sees that a screen reader cannot read: each visible Text with a
// letter or a digit that is neither a shown node of its own nor part of a shown node's name,
// description or value (a button's label, a field's text). Texts under an open modal sheet or
// scrolled out of view count as not seen.
QStringList unexposedTexts(QQuickWindow *window);

} // namespace accessibletree
