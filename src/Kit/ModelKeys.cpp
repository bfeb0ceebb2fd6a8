#include "ModelKeys.h"

namespace modelkeys {

int rowOfKey(const QAbstractItemModel *model, const QString &key)
{
    if (!model || key.isEmpty())
        return -1;
    // A model that knows better answers itself.
    const QMetaObject *meta = model->metaObject();
    if (meta->indexOfMethod("rowOfKey(QString)") >= 0) {
        int row = -1;
        QMetaObject::invokeMethod(const_cast<QAbstractItemModel *>(model), "rowOfKey", Qt::DirectConnection,
                                  Q_RETURN_ARG(int, row), Q_ARG(QString, key));
        return row;
    }
    const int role = model->roleNames().key("key", -1);
    if (role < 0)
        return -1;
    const QModelIndexList found =
        model->match(model->index(0, 0), role, key, 1, Qt::MatchExactly | Qt::MatchCaseSensitive);
    return found.isEmpty() ? -1 : found.first().row();
}

QString keyAt(const QAbstractItemModel *model, int row)
{
    if (!model || row < 0 || row >= model->rowCount())
        return {};
    const int role = model->roleNames().key("key", -1);
    return role < 0 ? QString() : model->index(row, 0).data(role).toString();
}

} // namespace modelkeys
