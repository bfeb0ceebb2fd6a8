#include "support/AccessibleTree.h"

#include "Kit/AccessibleItems.h"
#include "Kit/AccessibleViewport.h"

#include <QQuickItem>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <algorithm>

namespace accessibletree {

namespace {
void collect(QAccessibleInterface *node, QList<QAccessibleInterface *> &into, int depth)
{
    if (!node || depth > 200)
        return;
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface *child = node->child(i);
        if (!child)
            continue;
        into << child;
        collect(child, into, depth + 1);
    }
}
} // namespace

namespace {

EventLog *currentLog = nullptr;

// What a bridge with a client switches on; QAccessible::setActive() alone only tells the items.
void setActive(bool active)
{
    if (QPlatformAccessibility *platform = QGuiApplicationPrivate::platformIntegration()->accessibility())
        platform->setActive(active);
    else
        QAccessible::setActive(active);
}

} // namespace

EventLog::EventLog()
    : m_previous(QAccessible::installUpdateHandler(&EventLog::record)), m_wasActive(QAccessible::isActive())
{
    currentLog = this;
    setActive(true);
}

EventLog::~EventLog()
{
    setActive(m_wasActive);
    QAccessible::installUpdateHandler(m_previous);
    currentLog = nullptr;
}

void EventLog::record(QAccessibleEvent *event)
{
    // What the kit holds back never reaches a bridge.
    if (!currentLog || !passesAccessibleEvent(event))
        return;
    QAccessibleInterface *source = event->accessibleInterface();
    currentLog->m_events << Event{event->object(), event->type(),
                                  source && source->isValid() ? source->text(QAccessible::Name) : QString()};
}

QList<EventLog::Event> EventLog::of(const QObject *object, QAccessible::Event type) const
{
    QList<Event> found;
    for (const Event &event : m_events) {
        if (event.object == object && event.type == type)
            found << event;
    }
    return found;
}

QStringList EventLog::appearances(const QObject *object) const
{
    QStringList names;
    for (const Event &event : of(object, QAccessible::ObjectShow))
        names << event.name;
    return names;
}

QList<QAccessibleInterface *> nodes(QQuickWindow *window)
{
    QList<QAccessibleInterface *> all;
    collect(QAccessible::queryAccessibleInterface(window), all, 0);
    return all;
}

QList<QAccessibleInterface *> shownNodes(QQuickWindow *window)
{
    QList<QAccessibleInterface *> shown;
    for (QAccessibleInterface *node : nodes(window)) {
        const QAccessible::State state = node->state();
        if (!state.invisible && !state.offscreen)
            shown << node;
    }
    return shown;
}

QAccessibleInterface *shownNode(QQuickWindow *window, const QString &name, QAccessible::Role role)
{
    for (QAccessibleInterface *node : shownNodes(window)) {
        if (node->text(QAccessible::Name) == name && (role == QAccessible::NoRole || node->role() == role))
            return node;
    }
    return nullptr;
}

QStringList shownNames(QQuickWindow *window, QAccessible::Role role)
{
    QStringList names;
    for (QAccessibleInterface *node : shownNodes(window)) {
        if (node->role() == role)
            names << node->text(QAccessible::Name);
    }
    return names;
}

bool press(QAccessibleInterface *node)
{
    QAccessibleActionInterface *actions = node ? node->actionInterface() : nullptr;
    if (!actions || !actions->actionNames().contains(QAccessibleActionInterface::pressAction()))
        return false;
    actions->doAction(QAccessibleActionInterface::pressAction());
    return true;
}

namespace {
bool seen(const QQuickItem *item)
{
    qreal opacity = 1.0;
    for (const QQuickItem *i = item; i; i = i->parentItem())
        opacity *= i->opacity();
    return item->isVisible() && opacity > 0.01 && item->width() > 0 && item->height() > 0
           && !ModalCover::covers(item) && !accessibleviewport::outOfView(item);
}

void collectTexts(QQuickItem *item, QList<QQuickItem *> &into)
{
    for (QQuickItem *child : item->childItems()) {
        if (child->inherits("QQuickText"))
            into << child;
        collectTexts(child, into);
    }
}
} // namespace

QStringList unexposedTexts(QQuickWindow *window)
{
    QStringList readable;
    for (QAccessibleInterface *node : shownNodes(window)) {
        for (QAccessible::Text t : {QAccessible::Name, QAccessible::Description, QAccessible::Value})
            readable << node->text(t);
    }
    QList<QQuickItem *> texts;
    collectTexts(window->contentItem(), texts);
    QStringList missing;
    for (QQuickItem *item : std::as_const(texts)) {
        const QString text = item->property("text").toString().trimmed();
        if (!seen(item) || std::none_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); }))
            continue;
        const bool read = std::any_of(readable.begin(), readable.end(),
                                      [&](const QString &r) { return r.contains(text); });
        if (!read)
            missing << text;
    }
    return missing;
}

} // namespace accessibletree
