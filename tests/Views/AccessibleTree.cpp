#include "AccessibleTree.h"

namespace accessibletree {

namespace {
Session *current = nullptr;

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

Session::Session()
{
    current = this;
    m_wasActive = QAccessible::isActive();
    m_previous = QAccessible::installUpdateHandler(&Session::record);
    QAccessible::setActive(true);
}

Session::~Session()
{
    QAccessible::installUpdateHandler(m_previous);
    QAccessible::setActive(m_wasActive);
    current = nullptr;
}

void Session::record(QAccessibleEvent *event)
{
    if (!current)
        return;
    QAccessibleInterface *iface = event->accessibleInterface();
    QString text;
    switch (event->type()) {
    case QAccessible::TextInserted:
        text = static_cast<QAccessibleTextInsertEvent *>(event)->textInserted();
        break;
    case QAccessible::TextRemoved:
        text = static_cast<QAccessibleTextRemoveEvent *>(event)->textRemoved();
        break;
    case QAccessible::TextUpdated:
        text = static_cast<QAccessibleTextUpdateEvent *>(event)->textInserted()
               + static_cast<QAccessibleTextUpdateEvent *>(event)->textRemoved();
        break;
    case QAccessible::ValueChanged:
        text = static_cast<QAccessibleValueChangeEvent *>(event)->value().toString();
        break;
    default:
        break;
    }
    current->m_events.append({event->type(), iface ? iface->role() : QAccessible::NoRole,
                              iface ? iface->text(QAccessible::Name) : QString(), text});
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
        if (!node->state().invisible)
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

} // namespace accessibletree
