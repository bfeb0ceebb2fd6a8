#include "Platform/PhotoLibrary.h"

#include "Platform/WorkerTask.h"

#include <QFile>
#include <QStandardPaths>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cstdio>

#include <algorithm>

namespace PhotoLibrary {

QDir folder()
{
    QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (videos.isEmpty())
        videos = QDir::home().filePath(QStringLiteral("Videos"));
    return QDir(QDir(videos).filePath(QStringLiteral("Melodrift")));
}

QString isolated(const QString &path)
{
    return QChar(0x2066) + path + QChar(0x2069);
}

QString freeFileName(const QDir &folder, const QDateTime &when)
{
    const QString stem = QStringLiteral("story-") + when.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    QString name = stem + QStringLiteral(".mp4");
    for (int n = 2; folder.exists(name); ++n)
        name = stem + QStringLiteral("-%1.mp4").arg(n);
    return name;
}

PartFile::PartFile(const QDir &folder, const QString &name)
{
    for (int attempt = 0; attempt < 100 && !m_file.isOpen(); ++attempt) {
        const QString suffix = QString::number(QRandomGenerator::global()->generate() % 1'000'000, 10).rightJustified(6, u'0');
        m_file.setFileName(folder.filePath(QLatin1Char('.') + name + QLatin1Char('-') + suffix + QStringLiteral(".part")));
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        if (!m_file.exists() && !QFileInfo(m_file.fileName()).isSymLink())
            break; // not a name taken: the folder takes no new file
    }
}

PartFile::~PartFile()
{
    if (m_moved || !m_file.isOpen())
        return;
    m_file.close();
    m_file.remove();
}

bool PartFile::moveTo(const QString &destination, bool replace)
{
    if (!m_file.isOpen())
        return false;
    m_file.close();
    m_moved = replace ? ::rename(QFile::encodeName(m_file.fileName()).constData(),
                                 QFile::encodeName(destination).constData())
                            == 0
                      : QFile::rename(m_file.fileName(), destination);
    if (!m_moved)
        m_file.remove();
    return m_moved;
}

SaveError writeFailure(QFileDevice::FileError kind, const QString &cannotWrite)
{
    if (kind == QFileDevice::ResourceError) // the system said the disk is full
        return SaveError(QStringLiteral("فضای خالی دیسک کافی نیست"));
    return SaveError(cannotWrite.isEmpty() ? QStringLiteral("نوشتن در پوشهٔ ویدیوها ممکن نشد") : cannotWrite);
}

void copyContents(QFileDevice &source, QFileDevice &target, const QString &cannotWrite)
{
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
            throw writeFailure(target.error(), cannotWrite);
        copied += chunk.size();
    }
    if (!target.flush())
        throw writeFailure(target.error(), cannotWrite);
}

void saveCopy(const QString &source, const QString &target)
{
    const QFileInfo video(source);
    if (source.isEmpty() || !video.isFile())
        throw SaveError(QStringLiteral("فایل ویدیو پیدا نشد"));
    const QFileInfo destination(target);
    if (target.isEmpty() || destination.fileName().isEmpty())
        throw SaveError(QStringLiteral("جای ذخیره انتخاب نشده است"));
    if (destination.absoluteFilePath() == video.absoluteFilePath())
        return; // already there
    const QDir folder = destination.absoluteDir();
    const QString where = QStringLiteral("«") + isolated(folder.path()) + QStringLiteral("»");
    if (!QFileInfo(folder.path()).isDir())
        throw SaveError(QStringLiteral("پوشهٔ مقصد پیدا نشد: ") + where);
    if (destination.isDir())
        throw SaveError(QStringLiteral("به این نام پوشه‌ای هست: ") + isolated(destination.fileName()));
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw SaveError(QStringLiteral("فایل ویدیو خوانده نشد"));
    const QString cannotWrite = QStringLiteral("نوشتن در پوشهٔ ") + where + QStringLiteral(" ممکن نشد");
    PartFile part(folder, destination.fileName());
    if (!part.isOpen()) {
        if (!QFileInfo(folder.path()).isWritable())
            throw SaveError(QStringLiteral("اجازهٔ نوشتن در پوشهٔ ") + where + QStringLiteral(" نیست"));
        throw SaveError(cannotWrite);
    }
    copyContents(in, part.file(), cannotWrite);
    if (!part.moveTo(destination.absoluteFilePath(), true))
        throw SaveError(cannotWrite);
}

QCoro::Task<> saveCopyOffThread(QString source, QString target)
{
    std::function<bool()> copy = [source, target] {
        saveCopy(source, target);
        return true;
    };
    co_await onWorker<bool>(std::move(copy));
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
        PartFile part(target, QStringLiteral("story"));
        if (!part.isOpen())
            throw SaveError(QStringLiteral("نوشتن در پوشهٔ ویدیوها ممکن نشد"));
        copyContents(source, part.file());
        // Naming never replaces an existing file: a name taken meanwhile tries the next.
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString destination = target.filePath(freeFileName(target, QDateTime::currentDateTime()));
            if (QFile::exists(destination))
                continue;
            if (part.moveTo(destination, false))
                return destination;
            break;
        }
        throw SaveError(QStringLiteral("ذخیره در پوشهٔ ویدیوها انجام نشد"));
    };
    co_return co_await onWorker<QString>(std::move(copy));
}

} // namespace PhotoLibrary
