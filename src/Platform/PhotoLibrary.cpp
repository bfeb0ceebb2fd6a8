#include "Platform/PhotoLibrary.h"

#include <QFile>
#include <QFuture>
#include <QPromise>
#include <QStandardPaths>
#include <QThreadPool>
#include <QCoroFuture>

#include <memory>

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
    struct Outcome {
        QString saved;
        QString error;
    };
    auto promise = std::make_shared<QPromise<Outcome>>();
    QFuture<Outcome> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, path] {
        Outcome outcome;
        const QDir target = folder();
        if (!QFile::exists(path)) {
            outcome.error = QStringLiteral("فایل ویدیو پیدا نشد");
        } else if (!target.mkpath(QStringLiteral("."))) {
            outcome.error = QStringLiteral("پوشهٔ ویدیوها ساخته نشد: ") + target.path();
        } else {
            // QFile::copy never replaces an existing file: a name taken meanwhile tries the next.
            for (int attempt = 0; attempt < 100 && outcome.saved.isEmpty(); ++attempt) {
                const QString destination = target.filePath(freeFileName(target, QDateTime::currentDateTime()));
                if (QFile::copy(path, destination))
                    outcome.saved = destination;
                else if (!QFile::exists(destination))
                    break;
            }
            if (outcome.saved.isEmpty())
                outcome.error = QStringLiteral("ذخیره در پوشهٔ ویدیوها انجام نشد");
        }
        promise->addResult(outcome);
        promise->finish();
    });
    const Outcome outcome = co_await future;
    if (outcome.saved.isEmpty())
        throw SaveError(outcome.error);
    co_return outcome.saved;
}

} // namespace PhotoLibrary
