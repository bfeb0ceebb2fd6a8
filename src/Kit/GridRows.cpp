#include "GridRows.h"

#include <QSet>

#include <algorithm>

GridRows::GridRows(QObject *parent) : QAbstractListModel(parent) {}

void GridRows::setSource(QAbstractItemModel *source)
{
    if (m_source == source)
        return;
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (source) {
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            connect(source, signal, this, &GridRows::follow);
        connect(source, &QAbstractItemModel::rowsMoved, this, &GridRows::follow);
        connect(source, &QAbstractItemModel::modelReset, this, &GridRows::follow);
        connect(source, &QAbstractItemModel::layoutChanged, this, &GridRows::follow);
        connect(source, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles) {
                    emit sourceDataChanged(topLeft.row(), bottomRight.row(), roles);
                });
        connect(source, &QObject::destroyed, this, [this] { setSource(nullptr); });
    }
    follow();
    emit sourceChanged();
}

void GridRows::setColumns(int columns)
{
    columns = std::max(1, columns);
    if (columns == m_columns)
        return;
    m_columns = columns;
    follow();
    if (m_rows > 0)
        emit dataChanged(index(0), index(m_rows - 1), {FirstRole});
    emit columnsChanged();
}

void GridRows::follow()
{
    const int rows = rowsFor(m_source ? m_source->rowCount() : 0);
    if (rows > m_rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    } else if (rows < m_rows) {
        beginRemoveRows({}, rows, m_rows - 1);
        m_rows = rows;
        endRemoveRows();
    }
    emit cellsMayHaveChanged();
}

int GridRows::rowOfKey(const QString &key) const
{
    if (!m_source || key.isEmpty())
        return -1;
    const int role = m_source->roleNames().key("key", -1);
    if (role < 0)
        return -1;
    const QModelIndexList found =
        m_source->match(m_source->index(0, 0), role, key, 1, Qt::MatchExactly | Qt::MatchCaseSensitive);
    return found.isEmpty() ? -1 : found.first().row() / m_columns;
}

int GridRows::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

QVariant GridRows::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return role == FirstRole ? QVariant(index.row() * m_columns) : QVariant();
}

QHash<int, QByteArray> GridRows::roleNames() const
{
    return {{FirstRole, "first"}};
}

// ------------------------------------------------------------------ the cards of a row

GridRowCells::GridRowCells(QObject *parent) : QAbstractListModel(parent) {}

void GridRowCells::setGrid(GridRows *grid)
{
    if (m_grid == grid)
        return;
    if (m_grid)
        disconnect(m_grid, nullptr, this, nullptr);
    // The roles are the source's: they are read once, so the cards start over.
    beginResetModel();
    m_grid = grid;
    m_keys = sourceKeys();
    endResetModel();
    if (grid) {
        connect(grid, &GridRows::cellsMayHaveChanged, this, &GridRowCells::follow);
        connect(grid, &GridRows::sourceChanged, this, [this] {
            beginResetModel();
            m_keys = sourceKeys();
            endResetModel();
        });
        connect(grid, &GridRows::sourceDataChanged, this, &GridRowCells::forwardDataChanged);
        connect(grid, &QObject::destroyed, this, [this] { setGrid(nullptr); });
    }
    emit gridChanged();
}

void GridRowCells::setRow(int row)
{
    row = std::max(0, row);
    if (row == m_row)
        return;
    m_row = row;
    follow();
    emit rowChanged();
}

QStringList GridRowCells::sourceKeys() const
{
    QStringList keys;
    QAbstractItemModel *source = m_grid ? m_grid->source() : nullptr;
    if (!source)
        return keys;
    const int keyRole = source->roleNames().key("key", -1);
    const int end = std::min(source->rowCount(), first() + m_grid->columns());
    for (int row = first(); row < end; ++row) {
        const QModelIndex index = source->index(row, 0);
        // Without a key role, a card is known by its place.
        keys.append(keyRole >= 0 ? index.data(keyRole).toString() : QString::number(row));
    }
    return keys;
}

void GridRowCells::follow()
{
    const QStringList keys = sourceKeys();
    if (keys == m_keys)
        return;
    const QSet<QString> wanted(keys.cbegin(), keys.cend());
    for (int i = int(m_keys.size()) - 1; i >= 0; --i) {
        if (wanted.contains(m_keys.at(i)))
            continue;
        beginRemoveRows({}, i, i);
        m_keys.removeAt(i);
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

void GridRowCells::forwardDataChanged(int firstRow, int lastRow, const QList<int> &roles)
{
    const int top = std::max(firstRow, first()) - first();
    const int bottom = std::min(lastRow - first(), int(m_keys.size()) - 1);
    if (top <= bottom)
        emit dataChanged(index(top), index(bottom), roles);
}

int GridRowCells::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_keys.size());
}

QVariant GridRowCells::data(const QModelIndex &index, int role) const
{
    QAbstractItemModel *source = m_grid ? m_grid->source() : nullptr;
    if (!source || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return source->index(first() + index.row(), 0).data(role);
}

QHash<int, QByteArray> GridRowCells::roleNames() const
{
    QAbstractItemModel *source = m_grid ? m_grid->source() : nullptr;
    return source ? source->roleNames() : QHash<int, QByteArray>();
}
