#include "ActivitySharer.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QStandardPaths>

ActivitySharer::ActivitySharer(QObject *parent) : QObject(parent) {}

ActivitySharer::ActivitySharer(const QVariantList &items, QObject *parent) : QObject(parent), m_items(items)
{
    m_fixed = true;
}

void ActivitySharer::setItems(const QVariantList &items)
{
    if (m_fixed)
        return;
    m_items = items;
    emit itemsChanged();
}

QUrl ActivitySharer::file() const
{
    for (const QVariant &item : m_items) {
        const QUrl url = item.toUrl();
        if (url.isLocalFile())
            return url;
    }
    return {};
}

QString ActivitySharer::fileName() const
{
    return QFileInfo(file().toLocalFile()).fileName();
}

QString ActivitySharer::saveFolder()
{
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return !videos.isEmpty() && QFileInfo(videos).isDir() ? videos : QDir::homePath();
}

bool ActivitySharer::openWithDefault() const
{
    return !file().isEmpty() && QDesktopServices::openUrl(file());
}

void ActivitySharer::showInFolder() const
{
    const QUrl url = file();
    if (url.isEmpty())
        return;
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(url.toLocalFile()).absolutePath());
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{url.toString(QUrl::FullyEncoded)} << QString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(folder);
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [folder](QDBusPendingCallWatcher *w) {
        if (w->isError())
            QDesktopServices::openUrl(folder);
        w->deleteLater();
    });
}

bool ActivitySharer::copyToClipboard() const
{
    const QUrl url = file();
    if (url.isEmpty())
        return false;
    auto *data = new QMimeData;
    data->setUrls({url}); // text/uri-list
    data->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\n" + url.toEncoded());
    data->setText(url.toLocalFile());
    QGuiApplication::clipboard()->setMimeData(data);
    return true;
}
