#pragma once

#include <QAbstractListModel>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

// `count` rows of another list model from row `first` on, with its roles: the cards of one row of
// a grid laid out as a list of rows. The source's rows carry a "key" role; when the source changes,
// the slice removes, inserts and moves only the items that left, came into or moved inside it, so
// the cards of the items that stayed keep their delegates.
//     Repeater { model: RowSlice { source: library.playlists; first: row * columns; count: columns } }
class RowSlice : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QAbstractItemModel *source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(int first READ first WRITE setFirst NOTIFY firstChanged)
    Q_PROPERTY(int count READ count WRITE setCount NOTIFY countChanged)

public:
    explicit RowSlice(QObject *parent = nullptr);

    QAbstractItemModel *source() const { return m_source; }
    void setSource(QAbstractItemModel *source);
    int first() const { return m_first; }
    void setFirst(int first);
    int count() const { return m_count; }
    void setCount(int count);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void sourceChanged();
    void firstChanged();
    void countChanged();

private:
    QStringList sourceKeys() const;
    // Brings the rows to the source's keys in the slice's range.
    void follow();
    void forwardDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                            const QList<int> &roles);

    QPointer<QAbstractItemModel> m_source;
    int m_first = 0;
    int m_count = 0;
    int m_keyRole = -1;
    // The keys of the rows as the slice last reported them.
    QStringList m_keys;
};
