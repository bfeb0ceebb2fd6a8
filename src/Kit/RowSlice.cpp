#include "RowSlice.h"

#include <QSet>

#include <algorithm>

RowSlice::RowSlice(QObject *parent) : QAbstractListModel(parent) {}

void RowSlice::setSource(QAbstractItemModel *source)
{
    if (m_source == source)
        return;
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    beginResetModel();
    m_source = source;
    m_keyRole = source ? source->roleNames().key("key", -1) : -1;
    m_keys = sourceKeys();
    endResetModel();
    if (source) {
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            connect(source, signal, this, &RowSlice::follow);
        connect(source, &QAbstractItemModel::rowsMoved, this, &RowSlice::follow);
        connect(source, &QAbstractItemModel::modelReset, this, &RowSlice::follow);
        connect(source, &QAbstractItemModel::layoutChanged, this, &RowSlice::follow);
        connect(source, &QAbstractItemModel::dataChanged, this, &RowSlice::forwardDataChanged);
        connect(source, &QObject::destroyed, this, [this] { setSource(nullptr); });
    }
    emit sourceChanged();
}

void RowSlice::setFirst(int first)
{
    first = std::max(0, first);
    if (first == m_first)
        return;
    m_first = first;
    follow();
    emit firstChanged();
}

void RowSlice::setCount(int count)
{
    count = std::max(0, count);
    if (count == m_count)
        return;
    m_count = count;
    follow();
    emit countChanged();
}

QStringList RowSlice::sourceKeys() const
{
    QStringList keys;
    if (!m_source)
        return keys;
    const int end = std::min(m_source->rowCount(), m_first + m_count);
    for (int row = m_first; row < end; ++row) {
        const QModelIndex index = m_source->index(row, 0);
        // Without a key role, a row is known by its place.
        keys.append(m_keyRole >= 0 ? index.data(m_keyRole).toString() : QString::number(row));
    }
    return keys;
}

void RowSlice::follow()
{
    const QStringList keys = sourceKeys();
    if (keys == m_keys)
        return;
    const QSet<QString> wanted(keys.cbegin(), keys.cend());
    for (int row = int(m_keys.size()) - 1; row >= 0; --row) {
        if (wanted.contains(m_keys.at(row)))
            continue;
        beginRemoveRows({}, row, row);
        m_keys.removeAt(row);
        endRemoveRows();
    }
    for (int i = 0; i < keys.size(); ++i) {
        if (i < m_keys.size() && m_keys.at(i) == keys.at(i))
            continue;
        const int from = int(m_keys.indexOf(keys.at(i), i));
        if (from < 0) {
            beginInsertRows({}, i, i);
            m_keys.insert(i, keys.at(i));
            endInsertRows();
        } else {
            beginMoveRows({}, from, from, {}, i);
            m_keys.move(from, i);
            endMoveRows();
        }
    }
}

void RowSlice::forwardDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                  const QList<int> &roles)
{
    const int top = std::max(topLeft.row(), m_first) - m_first;
    const int bottom = std::min(bottomRight.row() - m_first, int(m_keys.size()) - 1);
    if (top <= bottom)
        emit dataChanged(index(top), index(bottom), roles);
}

int RowSlice::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_keys.size());
}

QVariant RowSlice::data(const QModelIndex &index, int role) const
{
    if (!m_source || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return m_source->index(m_first + index.row(), 0).data(role);
}

QHash<int, QByteArray> RowSlice::roleNames() const
{
    return m_source ? m_source->roleNames() : QHash<int, QByteArray>();
}
