#pragma once

#include <QObject>
#include <QUrl>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

// Backend addresses for QML, resolved the one way the backend client resolves them:
//     Image { source: ServerAddress.absolute(track.artworkURL) }
// An absent or empty text gives an empty URL; "/artwork/x.jpg" is resolved against the backend
// base address; "http…" and "file://" addresses are taken as they are.
class ServerAddress : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit ServerAddress(QObject *parent = nullptr) : QObject(parent) {}

    // `path` is a string, or undefined/null for none.
    Q_INVOKABLE QUrl absolute(const QVariant &path) const;
};
