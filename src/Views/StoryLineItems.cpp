#include "StoryLineItems.h"

#include "StoryViewModel.h"

StoryLineItems::StoryLineItems(QObject *parent) : QAbstractListModel(parent) {}

int StoryLineItems::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant StoryLineItems::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_lines.size())
        return {};
    if (role == NameRole)
        return nameAt(index.row());
    if (role != TextRole && role != Qt::DisplayRole)
        return {};
    return textAt(index.row());
}

QHash<int, QByteArray> StoryLineItems::roleNames() const
{
    return {{TextRole, "itemText"}, {NameRole, "itemName"}};
}

void StoryLineItems::setLines(QList<LyricsLine> lines)
{
    const bool countChanges = lines.size() != m_lines.size();
    beginResetModel();
    m_lines = std::move(lines);
    endResetModel();
    if (countChanges)
        emit countChanged();
}

QString StoryLineItems::textAt(int row) const
{
    if (row < 0 || row >= m_lines.size())
        return {};
    return StoryViewModel::menuItemText(m_lines, row);
}

QString StoryLineItems::nameAt(int row) const
{
    if (row < 0 || row >= m_lines.size())
        return {};
    return QString::number(row + 1) + QStringLiteral(". ") + m_lines.at(row).text.value_or(QString());
}
