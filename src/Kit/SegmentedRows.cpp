#include "SegmentedRows.h"

#include <algorithm>

SegmentedRows::SegmentedRows(QObject *parent) : QAbstractListModel(parent) {}

int SegmentedRows::firstRowOf(int segment) const
{
    int row = 0;
    for (int i = 0; i < segment && i < m_counts.size(); ++i)
        row += m_counts.at(i);
    return row;
}

void SegmentedRows::setCounts(const QList<int> &requested)
{
    QList<int> counts = requested;
    for (int &count : counts)
        count = std::max(0, count);
    if (counts == m_counts)
        return;
    if (counts.size() != m_counts.size()) {
        beginResetModel();
        m_counts = counts;
        endResetModel();
        emit countsChanged();
        return;
    }
    // Segment by segment, so every step leaves the rows the view knows consistent.
    for (int segment = 0; segment < counts.size(); ++segment) {
        const int before = m_counts.at(segment);
        const int after = counts.at(segment);
        const int end = firstRowOf(segment) + before;
        if (after > before) {
            beginInsertRows({}, end, end + after - before - 1);
            m_counts[segment] = after;
            endInsertRows();
        } else if (after < before) {
            beginRemoveRows({}, end - (before - after), end - 1);
            m_counts[segment] = after;
            endRemoveRows();
        }
    }
    emit countsChanged();
}

int SegmentedRows::rowOf(int segment, int position) const
{
    if (segment < 0 || segment >= m_counts.size() || position < 0 || position >= m_counts.at(segment))
        return -1;
    return firstRowOf(segment) + position;
}

int SegmentedRows::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return firstRowOf(int(m_counts.size()));
}

QVariant SegmentedRows::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0)
        return {};
    int position = index.row();
    for (int segment = 0; segment < m_counts.size(); ++segment) {
        if (position < m_counts.at(segment)) {
            if (role == SegmentRole)
                return segment;
            if (role == PositionRole)
                return position;
            return {};
        }
        position -= m_counts.at(segment);
    }
    return {};
}

QHash<int, QByteArray> SegmentedRows::roleNames() const
{
    return {{SegmentRole, "segment"}, {PositionRole, "position"}};
}
