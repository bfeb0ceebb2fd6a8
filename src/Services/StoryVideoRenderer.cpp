#include "Services/StoryVideoRenderer.h"

#include "Platform/WorkerTask.h"
#include "Services/StoryFrameDrawing.h"

#include "Services/StoryFrameWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMutex>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <QTextBoundaryFinder>
#include <QThreadPool>
#include <gst/gst.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <thread>

// ------------------------------------------------------------------ errors

StoryError StoryError::writerNotReady()
{
    return StoryError(QString::fromLatin1(Domain), -1, QStringLiteral("AVAssetWriter آماده نشد"));
}

StoryError StoryError::noResources()
{
    return StoryError(QString::fromLatin1(Domain), -3, QStringLiteral("منابع ناکافی برای رندر"));
}

StoryError StoryError::renderFailed()
{
    return StoryError(QString::fromLatin1(Domain), -4, QStringLiteral("خطا در رندر ویدیو"));
}

StoryError StoryError::diskFull()
{
    return StoryError(QString::fromLatin1(Domain), -5, QStringLiteral("فضای خالی دیسک کافی نیست"));
}

StoryError StoryError::cannotWrite()
{
    return StoryError(QString::fromLatin1(Domain), -6, QStringLiteral("فایل ویدیو نوشته نشد"));
}

StoryError StoryError::sourceUnreadable()
{
    return StoryError(QString::fromLatin1(Domain), -7, QStringLiteral("فایل منبع خوانده نشد"));
}

StoryError StoryError::stopped()
{
    return StoryError(QString::fromLatin1(Domain), -8, QStringLiteral("ساخت ویدیو متوقف شد"));
}

StoryError StoryVideoRenderer::mediaError(quint32 domain, int code)
{
    // The framework's own messages are English: the listener reads the kind in Persian.
    QString message = StoryError::renderFailed().errorDescription();
    if (domain == GST_RESOURCE_ERROR) {
        switch (code) {
        case GST_RESOURCE_ERROR_NO_SPACE_LEFT:
            message = StoryError::diskFull().errorDescription();
            break;
        case GST_RESOURCE_ERROR_OPEN_WRITE:
        case GST_RESOURCE_ERROR_OPEN_READ_WRITE:
        case GST_RESOURCE_ERROR_WRITE:
        case GST_RESOURCE_ERROR_CLOSE:
        case GST_RESOURCE_ERROR_SYNC:
        case GST_RESOURCE_ERROR_NOT_AUTHORIZED:
            message = StoryError::cannotWrite().errorDescription();
            break;
        case GST_RESOURCE_ERROR_NOT_FOUND:
        case GST_RESOURCE_ERROR_OPEN_READ:
        case GST_RESOURCE_ERROR_READ:
        case GST_RESOURCE_ERROR_SEEK:
            message = StoryError::sourceUnreadable().errorDescription();
            break;
        default:
            break;
        }
    }
    return StoryError(QString::fromUtf8(g_quark_to_string(domain)), code, message);
}

namespace {

// The renders running now, each by its stop flag.
QMutex g_runningLock;
QSet<std::shared_ptr<std::atomic<bool>>> g_running;

// Registers a render for stopAll() while it lives.
class RunningRender
{
public:
    RunningRender() : m_stop(std::make_shared<std::atomic<bool>>(false))
    {
        QMutexLocker locker(&g_runningLock);
        g_running.insert(m_stop);
    }
    ~RunningRender()
    {
        QMutexLocker locker(&g_runningLock);
        g_running.remove(m_stop);
    }
    RunningRender(const RunningRender &) = delete;
    RunningRender &operator=(const RunningRender &) = delete;
    std::shared_ptr<std::atomic<bool>> flag() const { return m_stop; }

private:
    std::shared_ptr<std::atomic<bool>> m_stop;
};

constexpr auto RenderFolderPrefix = "story-";
// What makeOwnedFolder() replaces the Xs of its template with: six letters (or digits).
constexpr int RenderFolderRandomLength = 6;
constexpr auto OwnerLockName = "owner.lock";
// Everything a render writes into its folder.
constexpr const char *RenderFileNames[] = {"story-silent.mp4", "story-silent.mp4.media", "story-final.mp4",
                                           "story-final.mp4.media", "story-audio.m4a"};

// The render folders this process made, each by its path, with its lock held open.
struct OwnedFolder {
    int lockFd = -1;
    bool busy = false; // a render is writing into it
};
QMutex g_foldersLock;
QHash<QString, OwnedFolder> g_folders;

bool hasFileType(const QString &path, mode_t type)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & S_IFMT) == type;
}

// A name as makeOwnedFolder() makes them: "story-" and six random letters or digits, nothing
// else ("story-notes" is a listener's own).
bool hasRenderFolderName(const QString &name)
{
    const QLatin1String prefix(RenderFolderPrefix);
    if (name.size() != prefix.size() + RenderFolderRandomLength || !name.startsWith(prefix))
        return false;
    return std::all_of(name.cbegin() + prefix.size(), name.cend(), [](QChar c) {
        return c.unicode() < 128 && (c.isLetter() || c.isDigit());
    });
}

// A render folder's name directly in the temporary folder, itself a folder (not a link to one) of
// this user: a shared temporary folder holds other users' story folders too.
bool isRenderFolder(const QString &folder)
{
    const QFileInfo info(folder);
    struct stat st {};
    return hasRenderFolderName(info.fileName())
           && ::lstat(QFile::encodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()
           && QFileInfo(info.absolutePath()).canonicalFilePath() == QFileInfo(QDir::tempPath()).canonicalFilePath();
}

// A render's own files, its lock file and then the folder itself when nothing else is in it.
void removeRenderFiles(const QString &folder)
{
    const QDir dir(folder);
    for (const char *name : RenderFileNames)
        StoryVideoRenderer::removeRegularFile(dir.filePath(QString::fromLatin1(name)));
    StoryVideoRenderer::removeRegularFile(dir.filePath(QString::fromLatin1(OwnerLockName)));
    ::rmdir(QFile::encodeName(folder).constData());
}

// Removes a folder of this process and lets go of it.
void releaseFolder(const QString &folder)
{
    QMutexLocker locker(&g_foldersLock);
    const auto owned = g_folders.constFind(folder);
    if (owned == g_folders.cend())
        return;
    removeRenderFiles(folder);
    ::close(owned->lockFd);
    g_folders.erase(owned);
}

void setBusy(const QString &folder, bool busy)
{
    QMutexLocker locker(&g_foldersLock);
    const auto owned = g_folders.find(folder);
    if (owned != g_folders.end())
        owned->busy = busy;
}

QString makeOwnedFolder(bool busy)
{
    QTemporaryDir made(QDir(QDir::tempPath()).filePath(QLatin1String(RenderFolderPrefix) + QStringLiteral("XXXXXX")));
    if (!made.isValid())
        throw StoryError::cannotWrite();
    const QString folder = made.path();
    const int fd = ::open(QFile::encodeName(QDir(folder).filePath(QString::fromLatin1(OwnerLockName))).constData(),
                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        throw StoryError::cannotWrite(); // the QTemporaryDir takes the folder with it
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        throw StoryError::cannotWrite();
    }
    made.setAutoRemove(false);
    QMutexLocker locker(&g_foldersLock);
    g_folders.insert(folder, OwnedFolder{fd, busy});
    return folder;
}

// At quit: stop the renders, then remove the videos that are done.
void connectToQuit()
{
    static std::once_flag connected;
    std::call_once(connected, [] {
        if (QCoreApplication *app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, app, [] {
                StoryVideoRenderer::stopAll();
                StoryVideoRenderer::removeOwnFolders();
            });
    });
}

int graphemeCount(const std::optional<QString> &text)
{
    if (!text || text->isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, *text);
    int count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

} // namespace

// ------------------------------------------------------------------ the entry

QCoro::Task<QUrl> StoryVideoRenderer::render(StoryConfig config, Progress onProgress)
{
    connectToQuit();
    // The work is held in a named local: g++ 12 destroys temporaries of a co_await expression
    // that live across the suspension twice. Both steps run in one piece of work, so that a
    // render whose awaiting side is gone (the application quit) still ends and cleans up.
    std::function<QUrl()> work = [config, onProgress] {
        const RunningRender running;
        const std::atomic<bool> *stop = running.flag().get();
        const QString folder = makeOwnedFolder(true);
        // The audio is decoded and encoded beside the frames; only the final muxing waits for both.
        std::shared_ptr<PreparedAudio> prepared;
        std::thread audio([&] { prepared = prepareAudio(config, folder, StallLimitMs, stop); });
        QUrl result;
        try {
            const QUrl silent = renderSilent(config, onProgress, silentPath(folder), stop);
            audio.join();
            result = attachPreparedAudio(silent, config, *prepared, onProgress, StallLimitMs, stop);
        } catch (...) {
            running.flag()->store(true); // the audio has no use any more
            if (audio.joinable())
                audio.join();
            releaseFolder(folder);
            throw;
        }
        if (stop->load()) {
            releaseFolder(folder);
            throw StoryError::stopped();
        }
        setBusy(folder, false);
        return result;
    };
    co_return co_await onWorker<QUrl>(std::move(work));
}

void StoryVideoRenderer::stopAll()
{
    QMutexLocker locker(&g_runningLock);
    for (const auto &flag : std::as_const(g_running))
        flag->store(true);
}

QString StoryVideoRenderer::makeRenderFolder()
{
    return makeOwnedFolder(false);
}

void StoryVideoRenderer::discard(const QUrl &video)
{
    if (video.isLocalFile())
        releaseFolder(QFileInfo(video.toLocalFile()).absolutePath());
}

void StoryVideoRenderer::manageTemporaryFolders()
{
    connectToQuit();
    QThreadPool::globalInstance()->start([] { removeAbandonedFolders(); });
}

void StoryVideoRenderer::removeOwnFolders()
{
    QStringList done;
    {
        QMutexLocker locker(&g_foldersLock);
        for (auto owned = g_folders.cbegin(); owned != g_folders.cend(); ++owned)
            if (!owned->busy)
                done.append(owned.key());
    }
    for (const QString &folder : std::as_const(done))
        releaseFolder(folder);
}

int StoryVideoRenderer::removeAbandonedFolders(int minimumAgeSecs)
{
    const QDir temp(QDir::tempPath());
    const QDateTime settled = QDateTime::currentDateTimeUtc().addSecs(-minimumAgeSecs);
    int removed = 0;
    for (const QString &name : temp.entryList({QLatin1String(RenderFolderPrefix) + QLatin1Char('*')},
                                              QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        const QString folder = temp.filePath(name);
        {
            QMutexLocker locker(&g_foldersLock);
            if (g_folders.contains(folder))
                continue; // ours, and alive
        }
        if (!isRenderFolder(folder) || !(QFileInfo(folder).lastModified().toUTC() < settled))
            continue;
        // Owned while its lock is held: the lock is taken for the time of the removal. Without a
        // lock of a render's own (none, a link, anything but a regular file, one that cannot be
        // opened or taken) the folder is not known to be abandoned, and stays.
        const QString lockPath = QDir(folder).filePath(QString::fromLatin1(OwnerLockName));
        const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat lock {};
        if (::fstat(fd, &lock) != 0 || !S_ISREG(lock.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            continue;
        }
        removeRenderFiles(folder);
        ::close(fd);
        if (!QFileInfo::exists(folder))
            ++removed;
    }
    return removed;
}

bool StoryVideoRenderer::removeRegularFile(const QString &path)
{
    return hasFileType(path, S_IFREG) && ::unlink(QFile::encodeName(path).constData()) == 0;
}

void StoryVideoRenderer::post(const Progress &onProgress, double value)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!onProgress || !app)
        return;
    QMetaObject::invokeMethod(app, [onProgress, value] { onProgress(value); }, Qt::QueuedConnection);
}

QString StoryVideoRenderer::silentPath(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("story-silent.mp4"));
}

QString StoryVideoRenderer::finalPath(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("story-final.mp4"));
}

// ------------------------------------------------------------------ timing

double StoryVideoRenderer::clampedDuration(double duration)
{
    if (!(duration >= 3))
        return 3;
    return std::min(duration, 60.0);
}

int StoryVideoRenderer::frameCount(double duration)
{
    if (!(duration >= 3))
        return 3 * FramesPerSecond;
    return int(std::trunc(std::min(duration, 60.0) * FramesPerSecond));
}

StoryVideoRenderer::Timings StoryVideoRenderer::computeLineTimings(const StoryConfig &config)
{
    Timings timings;
    const int n = int(config.lines.size());
    if (n == 0)
        return timings;
    const int first = std::max(std::min(config.startLine, n - 1), 0);
    const int last = std::max(first, std::min(config.endLine, n - 1));
    timings.firstLineIndex = first;
    const QList<LyricsLine> range = config.lines.mid(first, last - first + 1);

    const bool timed = std::all_of(range.cbegin(), range.cend(), [](const LyricsLine &l) { return l.time.has_value(); });
    if (timed) {
        for (const LyricsLine &line : range)
            timings.starts.append(std::max(*line.time - *range.first().time, 0.0));
        return timings;
    }
    QList<double> weights;
    double total = 0;
    for (const LyricsLine &line : range) {
        weights.append(std::max(graphemeCount(line.text) + graphemeCount(line.translation), 6));
        total += weights.last();
    }
    total = std::max(total, 1.0);
    const double length = clampedDuration(config.duration);
    timings.starts.append(0);
    for (int i = 1; i < weights.size(); ++i)
        timings.starts.append(timings.starts.last() + length * weights.at(i - 1) / total);
    return timings;
}

std::optional<StoryVideoRenderer::CurrentLine>
StoryVideoRenderer::currentLine(const Timings &timings, const StoryConfig &config, double t)
{
    const QList<double> &starts = timings.starts;
    if (starts.isEmpty() || !(t >= 0))
        return std::nullopt;
    const qsizetype last = starts.size() - 1;
    qsizetype current = last;
    for (qsizetype i = 0; i < starts.size(); ++i) {
        const bool matches = i < last ? starts.at(i) <= t && t < starts.at(i + 1)
                                      : starts.at(i) <= t && std::isfinite(t);
        if (matches) {
            current = i;
            break;
        }
    }
    CurrentLine result;
    result.start = starts.at(current);
    const qsizetype index = timings.firstLineIndex + current;
    if (index >= 0 && index < config.lines.size()) {
        const LyricsLine &line = config.lines.at(index);
        result.text = line.text.value_or(QString());
        result.translation = line.translation;
    }
    return result;
}

// ------------------------------------------------------------------ the silent video

QUrl StoryVideoRenderer::renderSilent(const StoryConfig &config, const Progress &onProgress, const QString &path,
                                      const std::atomic<bool> *stop)
{
    // What is already there goes only when it is a file an earlier render left in its own folder.
    const QString media = path + QStringLiteral(".media");
    for (const QString &taken : {path, media}) {
        if (!QFileInfo(taken).exists() && !QFileInfo(taken).isSymLink())
            continue;
        if (!isRenderFolder(QFileInfo(taken).absolutePath()) || !removeRegularFile(taken))
            throw StoryError::cannotWrite();
    }
    const int count = frameCount(config.duration);

    StoryFrameWriter writer(path, media);
    writer.start();

    const StoryFrame::ReadyAssets assets(config);
    const Timings timings = computeLineTimings(config);
    const auto draw = [&](QImage &frame, int i) {
        StoryFrame::drawFrame(frame, config, assets, timings, double(i) / FramesPerSecond);
    };
    const auto appended = [&](int i) {
        if (i % FramesPerSecond == 0)
            post(onProgress, double(i) / count * 0.8);
    };
    try {
        writer.writeFrames(count, draw, appended, stop);
        if (stop && stop->load())
            throw StoryError::stopped();
        writer.finish();
    } catch (...) {
        removeRegularFile(media);
        post(onProgress, 0);
        throw;
    }
    removeRegularFile(media);
    return QUrl::fromLocalFile(path);
}
