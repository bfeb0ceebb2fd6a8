#include "Platform/PhotoLibrary.h"

#include "Platform/WorkerTask.h"

#include <QFile>
#include <QStandardPaths>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>

#include <algorithm>

namespace PhotoLibrary {

namespace {

// Enough of a name to tell whose copy a temporary file is.
constexpr qsizetype PartNameLength = 32;

QString shortened(const QString &name)
{
    qsizetype end = std::min(name.size(), PartNameLength);
    if (end > 0 && end < name.size() && name.at(end - 1).isHighSurrogate())
        --end;
    return name.left(end);
}

} // namespace

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
        m_file.setFileName(
            folder.filePath(QLatin1Char('.') + shortened(name) + QLatin1Char('-') + suffix + QStringLiteral(".part")));
        errno = 0;
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        m_failure = AtomicFile::failureOf(errno, m_file.error());
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
    // Named only once every byte is on disk.
    if (!AtomicFile::syncToDisk(m_file, &m_failure)) {
        m_file.close();
        m_file.remove();
        return false;
    }
    m_file.close();
    errno = 0;
    m_moved = replace ? ::rename(QFile::encodeName(m_file.fileName()).constData(),
                                 QFile::encodeName(destination).constData())
                            == 0
                      : QFile::rename(m_file.fileName(), destination);
    if (!m_moved) {
        m_failure = AtomicFile::failureOf(errno);
        m_file.remove();
    }
    return m_moved;
}

SaveError writeFailure(AtomicFile::Failure failure, const QString &cannotWrite)
{
    switch (failure) {
    case AtomicFile::Failure::DiskFull:
        return SaveError(QStringLiteral("فضای خالی دیسک کافی نیست"));
    case AtomicFile::Failure::TooLarge:
        return SaveError(QStringLiteral("فایل برای این دیسک بیش از حد بزرگ است"));
    case AtomicFile::Failure::NameTooLong:
        return SaveError(QStringLiteral("نام فایل بیش از حد بلند است"));
    default:
        return SaveError(cannotWrite.isEmpty() ? QStringLiteral("نوشتن در پوشهٔ ویدیوها ممکن نشد") : cannotWrite);
    }
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
        // A short write carries no error of its own: the next one tells why.
        for (qsizetype done = 0; done < chunk.size();) {
            errno = 0;
            const qint64 written = target.write(chunk.constData() + done, chunk.size() - done);
            if (written <= 0)
                throw writeFailure(AtomicFile::failureOf(errno, target.error()), cannotWrite);
            done += written;
        }
        copied += chunk.size();
    }
    AtomicFile::Failure failure = AtomicFile::Failure::None;
    if (!AtomicFile::syncToDisk(target, &failure))
        throw writeFailure(failure, cannotWrite);
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
    if (AtomicFile::isNameTooLong(folder.path(), destination.fileName()))
        throw writeFailure(AtomicFile::Failure::NameTooLong);
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw SaveError(QStringLiteral("فایل ویدیو خوانده نشد"));
    const QString cannotWrite = QStringLiteral("نوشتن در پوشهٔ ") + where + QStringLiteral(" ممکن نشد");
    PartFile part(folder, destination.fileName());
    if (!part.isOpen()) {
        if (!QFileInfo(folder.path()).isWritable())
            throw SaveError(QStringLiteral("اجازهٔ نوشتن در پوشهٔ ") + where + QStringLiteral(" نیست"));
        throw writeFailure(part.failure(), cannotWrite);
    }
    copyContents(in, part.file(), cannotWrite);
    if (!part.moveTo(destination.absoluteFilePath(), true))
        throw writeFailure(part.failure(), cannotWrite);
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
            throw writeFailure(part.failure());
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
        if (part.failure() != AtomicFile::Failure::None && part.failure() != AtomicFile::Failure::Other)
            throw writeFailure(part.failure());
        throw SaveError(QStringLiteral("ذخیره در پوشهٔ ویدیوها انجام نشد"));
    };
    co_return co_await onWorker<QString>(std::move(copy));
}

} // namespace PhotoLibrary
