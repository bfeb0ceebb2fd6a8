#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

// Several list models one after the other, as the rows of one list: a page whose grid rows, cards
// and results scroll as one. Each source's inserts, removals, moves and changes come through as
// the same change of the joined rows (shifted by the rows before it), so a change in one part
// leaves the delegates of the others alone. Every row has the roles of its own source (by name:
// sources may number their roles alike), plus `part`, which source it comes from (from 0). A
// source's reset removes its rows and inserts them again (the other parts' rows stay).
//     LazyListView { model: JoinedRows { sources: [gridRows, cardsRow, results] }
//                    delegate: Loader { sourceComponent: [grid, cards, result][part] } }
class JoinedRows : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QList<QAbstractItemModel *> sources READ sources WRITE setSources NOTIFY sourcesChanged)

public:
    static constexpr int PartRole = Qt::UserRole;

    explicit JoinedRows(QObject *parent = nullptr);

    QList<QAbstractItemModel *> sources() const;
    void setSources(const QList<QAbstractItemModel *> &sources);
    // The joined row of `row` in source `part`; -1 when there is none.
    Q_INVOKABLE int rowOf(int part, int row) const;
    // The joined row holding the item keyed `key` in any part; -1 when none does.
    Q_INVOKABLE int rowOfKey(const QString &key) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void sourcesChanged();

private:
    int offsetOf(const QAbstractItemModel *source) const;
    void watch(QAbstractItemModel *source);
    // The source holding joined row `row`, and the row there.
    std::pair<int, int> locate(int row) const;
    int countOf(int part) const;

    QList<QPointer<QAbstractItemModel>> m_sources;
    // Each source's row count as last reported (a source's own count changes before its signal).
    QList<int> m_counts;
    QHash<int, QByteArray> m_roles;
    // For each source, its own role of each joined role it has.
    QList<QHash<int, int>> m_sourceRoles;
};
