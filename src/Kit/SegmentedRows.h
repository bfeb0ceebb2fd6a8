#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QtQml/qqmlregistration.h>

// The rows of a lazy list that come from several sources in turn (a grid's rows, a block of cards,
// search results), each source given only by its count. A delegate learns its `segment` and its
// `position` in it and asks that source for what it shows. A change of one count inserts or removes
// rows at that segment's end only, so the rows built elsewhere, and the focus in them, stay.
//     SegmentedRows { id: rows; counts: [gridRows, 1, results.resultCount] }
//     LazyListView { model: rows
//                    delegate: Item { required property int segment; required property int position } }
class SegmentedRows : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QList<int> counts READ counts WRITE setCounts NOTIFY countsChanged)

public:
    enum Role { SegmentRole = Qt::UserRole + 1, PositionRole };

    explicit SegmentedRows(QObject *parent = nullptr);

    QList<int> counts() const { return m_counts; }
    // Negative counts read as none.
    void setCounts(const QList<int> &counts);
    // The row of `position` in `segment`; -1 when there is none.
    Q_INVOKABLE int rowOf(int segment, int position) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countsChanged();

private:
    int firstRowOf(int segment) const;

    QList<int> m_counts;
};
