#include "AccessibleTree.h"

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
