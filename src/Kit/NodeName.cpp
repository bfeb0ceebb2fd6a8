#include "NodeName.h"

#include <QAccessible>
#include <QList>

namespace {

QList<NodeName *> &nodeNames()
{
    static QList<NodeName *> names;
    return names;
}

} // namespace

NodeName::NodeName(QObject *parent) : QObject(parent)
{
    nodeNames().append(this);
}

NodeName::~NodeName()
{
    nodeNames().removeAll(this);
}

void NodeName::setTarget(QQuickItem *target)
{
    if (target == m_target)
        return;
    m_target = target;
    announceChange(QAccessible::NameChanged);
    emit targetChanged();
}

void NodeName::setName(const QString &name)
{
    if (name == m_name)
        return;
    m_name = name;
    announceChange(QAccessible::NameChanged);
    emit nameChanged();
}

void NodeName::setDescription(const QString &description)
{
    if (description == m_description)
        return;
    m_description = description;
    announceChange(QAccessible::DescriptionChanged);
    emit descriptionChanged();
}

QString NodeName::of(const QQuickItem *item)
{
    if (!item)
        return {};
    for (const NodeName *name : std::as_const(nodeNames())) {
        if (name->m_target == item)
            return name->m_name;
    }
    return {};
}

QString NodeName::descriptionOf(const QQuickItem *item)
{
    if (!item)
        return {};
    for (const NodeName *name : std::as_const(nodeNames())) {
        if (name->m_target == item)
            return name->m_description;
    }
    return {};
}

void NodeName::announceChange(QAccessible::Event change) const
{
    if (!m_target || !QAccessible::isActive())
        return;
    QAccessibleEvent event(m_target, change);
    QAccessible::updateAccessibility(&event);
}
