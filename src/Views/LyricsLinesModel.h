#pragma once

#include "Models/APIModels.h"

#include <QAbstractListModel>
#include <QList>

#include <vector>

// The lines of the lyrics sheet as a list model, with the one line being sung marked active.
//
// Which line is active at a moment follows the walk the sheet is known for: from the first line,
// a line passes while it has a time not later than the moment; the last line that passed is the
// active one (-1 when the first does not pass). Lines after an untimed line never pass. The walk
// is answered by a binary search over the running maximum of the times before the first untimed
// line, which gives the walk's answer for any order of times.
//
// Moving the highlight signals dataChanged for the old and the new row only, so a tick of the
// sheet's clock redraws two rows, never the list.
class LyricsLinesModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)

public:
    enum Role {
        TextRole = Qt::UserRole + 1, // the line's text, empty when absent
        TranslationRole,             // the translation, empty when absent
        TimedRole,                   // whether the line has a time (a tap can seek to it)
        ActiveRole,                  // whether it is the line being sung
    };

    explicit LyricsLinesModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Replaces the lines; none is active.
    void setLines(QList<LyricsLine> lines);
    const QList<LyricsLine> &lines() const { return m_lines; }

    // The active line at `position` seconds (see above); -1 when none.
    int activeIndexAt(double position) const;
    int activeIndex() const { return m_active; }
    // Marks `index` (-1: none) active; signals only the rows that changed.
    void setActiveIndex(int index);

signals:
    void countChanged();

private:
    QList<LyricsLine> m_lines;
    // Running maximum of the times of the lines before the first untimed one.
    std::vector<double> m_reach;
    int m_active = -1;
};
