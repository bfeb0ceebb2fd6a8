#include "Platform/PhotoLibrary.h"

#include "Platform/WorkerTask.h"

#include <QFile>
#include <QStandardPaths>

namespace PhotoLibrary {

QDir folder()
{
    QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (videos.isEmpty())
        videos = QDir::home().filePath(QStringLiteral("Videos"));
    return QDir(QDir(videos).filePath(QStringLiteral("Melodrift")));
}

QString freeFileName(const QDir &folder, const QDateTime &when)
{
    const QString stem = QStringLiteral("story-") + when.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    QString name = stem + QStringLiteral(".mp4");
    for (int n = 2; folder.exists(name); ++n)
        name = stem + QStringLiteral("-%1.mp4").arg(n);
    return name;
}

QCoro::Task<QString> saveVideo(QString path)
{
    std::function<QString()> copy = [path] {
        const QDir target = folder();
        if (!QFile::exists(path))
            throw SaveError(QStringLiteral("فایل ویدیو پیدا نشد"));
        if (!target.mkpath(QStringLiteral(".")))
            throw SaveError(QStringLiteral("پوشهٔ ویدیوها ساخته نشد: ") + target.path());
        // QFile::copy never replaces an existing file: a name taken meanwhile tries the next.
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString destination = target.filePath(freeFileName(target, QDateTime::currentDateTime()));
            if (QFile::copy(path, destination))
                return destination;
            if (!QFile::exists(destination))
                break;
        }
        throw SaveError(QStringLiteral("ذخیره در پوشهٔ ویدیوها انجام نشد"));
    };
    co_return co_await onWorker<QString>(std::move(copy));
}

} // namespace PhotoLibrary
