#include "Platform/PhotoLibrary.h"

#include "Platform/WorkerTask.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <algorithm>

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

void copyContents(QFileDevice &source, QFileDevice &target)
{
    const auto writeFailure = [&target] {
        return target.error() == QFileDevice::ResourceError ? SaveError(QStringLiteral("فضای خالی دیسک کافی نیست"))
                                                            : SaveError(QStringLiteral("نوشتن در پوشهٔ ویدیوها ممکن نشد"));
    };
    const auto readFailure = [] { return SaveError(QStringLiteral("فایل ویدیو خوانده نشد")); };
    if (!source.isReadable())
        throw readFailure();
    const qint64 size = source.size();
    qint64 copied = 0;
    while (copied < size) {
        const QByteArray chunk = source.read(std::min<qint64>(size - copied, 1 << 20));
        if (chunk.isEmpty())
            throw readFailure(); // the file ended early or could not be read
        if (target.write(chunk) != chunk.size())
            throw writeFailure();
        copied += chunk.size();
    }
    if (!target.flush())
        throw writeFailure();
}

QCoro::Task<QString> saveVideo(QString path)
{
    std::function<QString()> copy = [path] {
        const QDir target = folder();
        QFile source(path);
        if (!source.exists())
            throw SaveError(QStringLiteral("فایل ویدیو پیدا نشد"));
        if (!source.open(QIODevice::ReadOnly))
            throw SaveError(QStringLiteral("فایل ویدیو خوانده نشد"));
        if (!target.mkpath(QStringLiteral(".")))
            throw SaveError(QStringLiteral("پوشهٔ ویدیوها ساخته نشد: ") + target.path());
        // Written under a hidden name first: a failed copy leaves no half-written story behind.
        QTemporaryFile part(target.filePath(QStringLiteral(".story-XXXXXX.part")));
        if (!part.open())
            throw SaveError(QStringLiteral("نوشتن در پوشهٔ ویدیوها ممکن نشد"));
        copyContents(source, part);
        // Renaming never replaces an existing file: a name taken meanwhile tries the next.
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString destination = target.filePath(freeFileName(target, QDateTime::currentDateTime()));
            if (part.rename(destination)) {
                part.setAutoRemove(false);
                return destination;
            }
            if (!QFile::exists(destination))
                break;
        }
        throw SaveError(QStringLiteral("ذخیره در پوشهٔ ویدیوها انجام نشد"));
    };
    co_return co_await onWorker<QString>(std::move(copy));
}

} // namespace PhotoLibrary
