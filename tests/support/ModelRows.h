#pragma once

#include <QAbstractItemModel>
#include <QVariantMap>

// Row `row` of a list model as {role name: value}; empty out of range.
inline QVariantMap rowRoles(const QAbstractItemModel *model, int row)
{
    QVariantMap roles;
    if (!model || row < 0 || row >= model->rowCount())
        return roles;
    const QModelIndex index = model->index(row, 0);
    const auto names = model->roleNames();
    for (auto it = names.cbegin(); it != names.cend(); ++it)
        roles.insert(QString::fromUtf8(it.value()), index.data(it.key()));
    return roles;
}
