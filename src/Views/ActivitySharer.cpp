#include "ActivitySharer.h"

#include "Platform/PhotoLibrary.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
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

QUrl ActivitySharer::suggestedSaveFile() const
{
    QDir folder(QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
    if (folder.path().isEmpty() || !folder.exists())
        folder = QDir::home();
    return QUrl::fromLocalFile(folder.filePath(fileName()));
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

bool ActivitySharer::saveAs(const QUrl &target)
{
    QString failure;
    try {
        const QUrl url = file();
        if (url.isEmpty() || !target.isLocalFile())
            throw PhotoLibrary::SaveError(QStringLiteral("فایل ویدیو پیدا نشد"));
        const QFileInfo destination(target.toLocalFile());
        if (destination.absoluteFilePath() != QFileInfo(url.toLocalFile()).absoluteFilePath()) {
            QFile source(url.toLocalFile());
            if (!source.open(QIODevice::ReadOnly))
                throw PhotoLibrary::SaveError(QStringLiteral("فایل ویدیو خوانده نشد"));
            const QString cannotWrite = QStringLiteral("نوشتن در این پوشه ممکن نشد");
            // The dialog asked before replacing; the old file goes only once the copy is whole.
            PhotoLibrary::PartFile part(destination.absoluteDir(), destination.fileName());
            if (!part.isOpen())
                throw PhotoLibrary::SaveError(cannotWrite);
            PhotoLibrary::copyContents(source, part.file(), cannotWrite);
            if (!part.moveTo(destination.absoluteFilePath(), true))
                throw PhotoLibrary::SaveError(cannotWrite);
        }
    } catch (const AppError &error) {
        failure = error.errorDescription();
    }
    if (m_saveError != failure) {
        m_saveError = failure;
        emit saveErrorChanged();
    }
    return failure.isEmpty();
}
