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
#include <QSet>
#include <QTemporaryDir>
#include <QTextBoundaryFinder>
#include <gst/gst.h>

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
    static std::once_flag quitting;
    std::call_once(quitting, [] {
        if (QCoreApplication *app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, app, &StoryVideoRenderer::stopAll);
    });
    // The work is held in a named local: g++ 12 destroys temporaries of a co_await expression
    // that live across the suspension twice. Both steps run in one piece of work, so that a
    // render whose awaiting side is gone (the application quit) still ends and cleans up.
    std::function<QUrl()> work = [config, onProgress] {
        const RunningRender running;
        const std::atomic<bool> *stop = running.flag().get();
        const QString folder = makeRenderFolder();
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
            QDir(folder).removeRecursively();
            throw;
        }
        if (stop->load()) {
            QDir(folder).removeRecursively();
            throw StoryError::stopped();
        }
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
    QTemporaryDir folder(QDir(QDir::tempPath()).filePath(QLatin1String(RenderFolderPrefix) + QStringLiteral("XXXXXX")));
    if (!folder.isValid())
        throw StoryError::cannotWrite();
    folder.setAutoRemove(false);
    return folder.path();
}

void StoryVideoRenderer::discard(const QUrl &video)
{
    if (!video.isLocalFile())
        return;
    const QFileInfo file(video.toLocalFile());
    QFile::remove(file.filePath());
    // The folder goes too when it is a render's own one, and only then.
    const QFileInfo folder(file.absolutePath());
    if (folder.fileName().startsWith(QLatin1String(RenderFolderPrefix))
        && QFileInfo(folder.absolutePath()).canonicalFilePath() == QFileInfo(QDir::tempPath()).canonicalFilePath()) {
        QDir dir(folder.absoluteFilePath());
        for (const QString &name : {QStringLiteral("story-silent.mp4"), QStringLiteral("story-final.mp4"),
                                    QStringLiteral("story-final.mp4.media"), QStringLiteral("story-audio.m4a")})
            dir.remove(name);
        QDir(folder.absolutePath()).rmdir(folder.fileName());
    }
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
    QFile::remove(path);
    const int count = frameCount(config.duration);

    StoryFrameWriter writer(path);
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
        post(onProgress, 0);
        throw;
    }
    return QUrl::fromLocalFile(path);
}
