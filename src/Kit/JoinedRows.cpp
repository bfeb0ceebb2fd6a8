#include "JoinedRows.h"

#include "ModelKeys.h"

JoinedRows::JoinedRows(QObject *parent) : QAbstractListModel(parent) {}

QList<QAbstractItemModel *> JoinedRows::sources() const
{
    QList<QAbstractItemModel *> list;
    for (const auto &source : m_sources)
        list.append(source.data());
    return list;
}

void JoinedRows::setSources(const QList<QAbstractItemModel *> &sources)
{
    if (sources == this->sources())
        return;
    beginResetModel();
    for (const auto &source : std::as_const(m_sources)) {
        if (source)
            disconnect(source, nullptr, this, nullptr);
    }
    m_sources.clear();
    m_counts.clear();
    m_sourceRoles.clear();
    m_roles = {{PartRole, "part"}};
    QHash<QByteArray, int> joined{{"part", PartRole}};
    for (QAbstractItemModel *source : sources) {
        m_sources.append(source);
        m_counts.append(source ? source->rowCount() : 0);
        QHash<int, int> own;
        if (source) {
            const auto roles = source->roleNames();
            for (auto it = roles.cbegin(); it != roles.cend(); ++it) {
                if (it.value() == "part")
                    continue;
                int &id = joined[it.value()];
                if (id == 0) {
                    id = PartRole + int(joined.size());
                    m_roles.insert(id, it.value());
                }
                own.insert(id, it.key());
            }
            watch(source);
        }
        m_sourceRoles.append(own);
    }
    endResetModel();
    emit sourcesChanged();
}

void JoinedRows::watch(QAbstractItemModel *source)
{
    connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this, source](const QModelIndex &, int first, int last) {
                const int offset = offsetOf(source);
                beginInsertRows({}, offset + first, offset + last);
            });
    connect(source, &QAbstractItemModel::rowsInserted, this,
            [this, source](const QModelIndex &, int first, int last) {
                m_counts[m_sources.indexOf(source)] += last - first + 1;
                endInsertRows();
            });
    connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this, source](const QModelIndex &, int first, int last) {
                const int offset = offsetOf(source);
                beginRemoveRows({}, offset + first, offset + last);
            });
    connect(source, &QAbstractItemModel::rowsRemoved, this,
            [this, source](const QModelIndex &, int first, int last) {
                m_counts[m_sources.indexOf(source)] -= last - first + 1;
                endRemoveRows();
            });
    connect(source, &QAbstractItemModel::rowsAboutToBeMoved, this,
            [this, source](const QModelIndex &, int first, int last, const QModelIndex &, int to) {
                const int offset = offsetOf(source);
                beginMoveRows({}, offset + first, offset + last, {}, offset + to);
            });
    connect(source, &QAbstractItemModel::rowsMoved, this, [this] { endMoveRows(); });
    connect(source, &QAbstractItemModel::dataChanged, this,
            [this, source](const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles) {
                const int offset = offsetOf(source);
                const QHash<int, int> &own = m_sourceRoles.at(m_sources.indexOf(source));
                QList<int> joined;
                for (int role : roles)
                    joined.append(own.key(role, -1));
                joined.removeAll(-1);
                if (!roles.isEmpty() && joined.isEmpty())
                    return;
                emit dataChanged(index(offset + topLeft.row()), index(offset + bottomRight.row()), joined);
            });
    // A source that starts over takes only its own rows away and brings them back: the rows of the
    // other parts, and the focus in them, stay.
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this, [this, source] {
        const int part = int(m_sources.indexOf(source));
        if (m_counts.at(part) == 0)
            return;
        const int offset = offsetOf(source);
        beginRemoveRows({}, offset, offset + m_counts.at(part) - 1);
        m_counts[part] = 0;
        endRemoveRows();
    });
    connect(source, &QAbstractItemModel::modelReset, this, [this, source] {
        const int part = int(m_sources.indexOf(source));
        const int count = source->rowCount();
        if (count == 0)
            return;
        const int offset = offsetOf(source);
        beginInsertRows({}, offset, offset + count - 1);
        m_counts[part] = count;
        endInsertRows();
    });
    connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] { emit layoutAboutToBeChanged(); });
    connect(source, &QAbstractItemModel::layoutChanged, this, [this, source] {
        m_counts[m_sources.indexOf(source)] = source->rowCount();
        emit layoutChanged();
    });
}

int JoinedRows::offsetOf(const QAbstractItemModel *source) const
{
    int offset = 0;
    for (int part = 0; part < m_sources.size() && m_sources.at(part) != source; ++part)
        offset += m_counts.at(part);
    return offset;
}

int JoinedRows::countOf(int part) const
{
    return part >= 0 && part < m_counts.size() ? m_counts.at(part) : 0;
}

std::pair<int, int> JoinedRows::locate(int row) const
{
    for (int part = 0; part < m_counts.size(); ++part) {
        if (row < m_counts.at(part))
            return {part, row};
        row -= m_counts.at(part);
    }
    return {-1, -1};
}

int JoinedRows::rowOf(int part, int row) const
{
    if (row < 0 || row >= countOf(part))
        return -1;
    int offset = 0;
    for (int i = 0; i < part; ++i)
        offset += m_counts.at(i);
    return offset + row;
}

int JoinedRows::rowOfKey(const QString &key) const
{
    int offset = 0;
    for (int part = 0; part < m_sources.size(); ++part) {
        const int row = modelkeys::rowOfKey(m_sources.at(part), key);
        if (row >= 0 && row < m_counts.at(part))
            return offset + row;
        offset += m_counts.at(part);
    }
    return -1;
}

int JoinedRows::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    int count = 0;
    for (int c : m_counts)
        count += c;
    return count;
}

QVariant JoinedRows::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto [part, row] = locate(index.row());
    if (part < 0 || !m_sources.at(part))
        return {};
    if (role == PartRole)
        return part;
    const int own = m_sourceRoles.at(part).value(role, -1);
    return own < 0 ? QVariant() : m_sources.at(part)->index(row, 0).data(own);
}

QHash<int, QByteArray> JoinedRows::roleNames() const
{
    return m_roles;
}
