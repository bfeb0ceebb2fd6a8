#pragma once

#include <QAbstractListModel>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

// A grid as the rows of a lazy list: one row per `columns` items of `source`, in order. A row's
// cards come from a GridRowCells of that row, which follows the source by the items' "key" role:
// when the source changes (a reload, an edit, a new order) or the columns do, each row removes,
// inserts and moves only the cards that left, came into or moved inside it, so the cards of the
// items that stayed keep their delegates, and the grid's own rows are only ever added or removed
// at the end, never reset.
//     LazyListView { model: GridRows { id: grid; source: library.playlists; columns: 2 }
//                    delegate: Row { required property int index
//                                    Repeater { model: GridRowCells { grid: grid; row: index }
//                                               PlaylistCard { required property var model } } } }
class GridRows : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QAbstractItemModel *source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(int columns READ columns WRITE setColumns NOTIFY columnsChanged)

public:
    enum Role { FirstRole = Qt::UserRole + 1 };

    explicit GridRows(QObject *parent = nullptr);

    QAbstractItemModel *source() const { return m_source; }
    void setSource(QAbstractItemModel *source);
    int columns() const { return m_columns; }
    // At least one.
    void setColumns(int columns);

    // The row holding the item keyed `key`; -1 when none does.
    Q_INVOKABLE int rowOfKey(const QString &key) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void sourceChanged();
    void columnsChanged();
    // The source's items or the columns changed: every row's cards follow.
    void cellsMayHaveChanged();
    void sourceDataChanged(int first, int last, const QList<int> &roles);

private:
    int rowsFor(int items) const { return (items + m_columns - 1) / m_columns; }
    // Brings the number of rows to what the source's items fill.
    void follow();

    QPointer<QAbstractItemModel> m_source;
    int m_columns = 1;
    int m_rows = 0;
};

// The cards of one row of a GridRows, with the source's roles.
class GridRowCells : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(GridRows *grid READ grid WRITE setGrid NOTIFY gridChanged)
    Q_PROPERTY(int row READ row WRITE setRow NOTIFY rowChanged)

public:
    explicit GridRowCells(QObject *parent = nullptr);

    GridRows *grid() const { return m_grid; }
    void setGrid(GridRows *grid);
    int row() const { return m_row; }
    void setRow(int row);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void gridChanged();
    void rowChanged();

private:
    int first() const { return m_grid ? m_row * m_grid->columns() : 0; }
    QStringList sourceKeys() const;
    // Brings the cards to the source's keys in the row.
    void follow();
    void forwardDataChanged(int first, int last, const QList<int> &roles);

    QPointer<GridRows> m_grid;
    int m_row = 0;
    // The keys of the cards as last reported.
    QStringList m_keys;
};
