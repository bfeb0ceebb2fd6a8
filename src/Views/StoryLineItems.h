#pragma once

#include "Models/APIModels.h"

#include <QAbstractListModel>
#include <QList>
#include <QtQml/qqmlregistration.h>

// The items of the story sheet's two range menus: one row per sorted lyric line, its text
// ("3. …", see StoryViewModel::menuItemText, cut to fit) and its accessible name (the same with
// the whole line) made only when a view asks for that row. A menu over
// tens of thousands of lines thus costs what it shows, not what the lyrics hold.
class StoryLineItems : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The story sheet's model makes its line items")
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)

public:
    enum Role { TextRole = Qt::UserRole + 1, NameRole };

    explicit StoryLineItems(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    void setLines(QList<LyricsLine> lines);
    // The text of `row`; empty outside the list.
    Q_INVOKABLE QString textAt(int row) const;
    // The name of `row` for assistive technology: its number and whole line; empty outside the list.
    Q_INVOKABLE QString nameAt(int row) const;

signals:
    void countChanged();

private:
    QList<LyricsLine> m_lines;
};
