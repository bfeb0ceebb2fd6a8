#include "LyricsLinesModel.h"

#include <algorithm>
#include <limits>

LyricsLinesModel::LyricsLinesModel(QObject *parent) : QAbstractListModel(parent) {}

int LyricsLinesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant LyricsLinesModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const LyricsLine &line = m_lines.at(index.row());
    switch (role) {
    case TextRole:
        return line.text.value_or(QString());
    case TranslationRole:
        return line.translation.value_or(QString());
    case TimedRole:
        return line.time.has_value();
    case ActiveRole:
        return index.row() == m_active;
    default:
        return {};
    }
}

QHash<int, QByteArray> LyricsLinesModel::roleNames() const
{
    return {{TextRole, "text"}, {TranslationRole, "translation"}, {TimedRole, "timed"}, {ActiveRole, "active"}};
}

void LyricsLinesModel::setLines(QList<LyricsLine> lines)
{
    const bool countChanges = lines.size() != m_lines.size();
    beginResetModel();
    m_lines = std::move(lines);
    m_active = -1;
    m_reach.clear();
    double reach = -std::numeric_limits<double>::infinity();
    for (const LyricsLine &line : std::as_const(m_lines)) {
        if (!line.time)
            break;
        reach = std::max(reach, *line.time);
        m_reach.push_back(reach);
    }
    endResetModel();
    if (countChanges)
        emit countChanged();
}

int LyricsLinesModel::activeIndexAt(double position) const
{
    // The first line whose running maximum is later than the position is the first that does
    // not pass; every line before it passed.
    const auto stop = std::upper_bound(m_reach.cbegin(), m_reach.cend(), position);
    return int(stop - m_reach.cbegin()) - 1;
}

void LyricsLinesModel::setActiveIndex(int index)
{
    if (index < -1 || index >= int(m_lines.size()))
        index = -1;
    if (index == m_active)
        return;
    const int previous = m_active;
    m_active = index;
    for (int row : {previous, index}) {
        if (row >= 0) {
            const QModelIndex changed = this->index(row);
            emit dataChanged(changed, changed, {ActiveRole});
        }
    }
}
