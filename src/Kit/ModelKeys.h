#pragma once

#include <QAbstractItemModel>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// The keys rows are known by, for the lists that keep the focus on an item: a model's "key" role,
// or the model's own rowOfKey() where a row holds several keyed items (a grid's row of cards) or
// rows come from several models. QML reaches them through the singleton `ModelKeys`.
namespace modelkeys {

// The row of `model` holding the item keyed `key`; -1 when none does (or the key is empty).
int rowOfKey(const QAbstractItemModel *model, const QString &key);
// The "key" of row `row`; empty when the model has no such role or row.
QString keyAt(const QAbstractItemModel *model, int row);

} // namespace modelkeys

class ModelKeys : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit ModelKeys(QObject *parent = nullptr) : QObject(parent) {}

    Q_INVOKABLE static int rowOfKey(QAbstractItemModel *model, const QString &key)
    {
        return modelkeys::rowOfKey(model, key);
    }
    Q_INVOKABLE static QString keyAt(QAbstractItemModel *model, int row) { return modelkeys::keyAt(model, row); }
};
