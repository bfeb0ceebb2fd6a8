#include "Services/StoryVideoRenderer.h"

#include "Platform/WorkerTask.h"
#include "Services/StoryFrameDrawing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTextBoundaryFinder>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <cmath>
#include <memory>

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

namespace {

StoryError fromGError(const GError *error)
{
    return StoryError(QString::fromUtf8(g_quark_to_string(error->domain)), error->code,
                      QString::fromUtf8(error->message));
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

// ------------------------------------------------------------------ the frame writer

// BGRA frames in, H.264 High 4:2:0 in MPEG-4 out. x264 gets I420 explicitly (left to itself it
// would pick 4:4:4, which many players refuse); the muxer gets a queue in front.
constexpr const char *WriterPipeline =
    "appsrc name=frames format=time is-live=false block=false "
    "caps=video/x-raw,format=BGRA,width=720,height=1280,framerate=24/1,pixel-aspect-ratio=1/1 "
    "! videoconvert n-threads=2 ! video/x-raw,format=I420 "
    "! x264enc speed-preset=veryfast pass=qual quantizer=20 key-int-max=48 "
    "! video/x-h264,profile=high ! h264parse ! queue ! mp4mux ! filesink name=file";

constexpr gsize FrameBytes = gsize(StoryVideoRenderer::Width) * StoryVideoRenderer::Height * 4;
// The writer takes more frames while fewer than this many wait in its input.
constexpr guint64 QueuedFramesLimit = 6;
constexpr gulong ReadinessPollMicroseconds = 15'000;
constexpr GstClockTime FinishLimit = 120 * GST_SECOND;

class FrameWriter
{
public:
    explicit FrameWriter(const QString &path)
    {
        GError *error = nullptr;
        m_pipeline = gst_parse_launch(WriterPipeline, &error);
        if (error) {
            const StoryError failure = fromGError(error);
            g_error_free(error);
            throw failure;
        }
        gst_object_ref_sink(m_pipeline);
        m_source = gst_bin_get_by_name(GST_BIN(m_pipeline), "frames");
        GstElement *file = gst_bin_get_by_name(GST_BIN(m_pipeline), "file");
        g_object_set(file, "location", QFile::encodeName(path).constData(), nullptr);
        gst_object_unref(file);
        m_bus = gst_element_get_bus(m_pipeline);

        // Frames are drawn straight into buffers of a recycling pool.
        m_pool = gst_buffer_pool_new();
        GstStructure *config = gst_buffer_pool_get_config(m_pool);
        GstCaps *caps = gst_caps_from_string("video/x-raw,format=BGRA,width=720,height=1280,framerate=24/1");
        gst_buffer_pool_config_set_params(config, caps, guint(FrameBytes), 4, 0);
        gst_caps_unref(caps);
        gst_buffer_pool_set_config(m_pool, config);
        gst_buffer_pool_set_active(m_pool, TRUE);
    }

    ~FrameWriter()
    {
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        if (m_error)
            gst_message_unref(m_error);
        gst_object_unref(m_bus);
        gst_object_unref(m_source);
        gst_object_unref(m_pipeline);
        gst_buffer_pool_set_active(m_pool, FALSE);
        gst_object_unref(m_pool);
    }

    FrameWriter(const FrameWriter &) = delete;
    FrameWriter &operator=(const FrameWriter &) = delete;

    bool start() { return gst_element_set_state(m_pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE; }

    GstBuffer *acquire()
    {
        GstBuffer *buffer = nullptr;
        if (gst_buffer_pool_acquire_buffer(m_pool, &buffer, nullptr) != GST_FLOW_OK)
            return nullptr;
        return buffer;
    }

    // True once the pipeline reported an error; the first one is kept for finish().
    bool failed()
    {
        if (!m_error)
            m_error = gst_bus_pop_filtered(m_bus, GST_MESSAGE_ERROR);
        return m_error != nullptr;
    }

    bool readyForMoreMediaData() const
    {
        guint64 queued = 0;
        g_object_get(m_source, "current-level-buffers", &queued, nullptr);
        return queued < QueuedFramesLimit;
    }

    void waitUntilReady()
    {
        while (!readyForMoreMediaData() && !failed())
            g_usleep(ReadinessPollMicroseconds);
    }

    void append(GstBuffer *buffer, int index)
    {
        GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(guint64(index), GST_SECOND, StoryVideoRenderer::FramesPerSecond);
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, StoryVideoRenderer::FramesPerSecond);
        gst_app_src_push_buffer(GST_APP_SRC(m_source), buffer);
    }

    // Ends the stream and waits until the file is complete. Throws the writer's error, or -4.
    void finish()
    {
        gst_app_src_end_of_stream(GST_APP_SRC(m_source));
        if (!failed()) {
            GstMessage *end = gst_bus_timed_pop_filtered(
                m_bus, FinishLimit, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
            if (end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS) {
                gst_message_unref(end);
                gst_element_set_state(m_pipeline, GST_STATE_NULL);
                return;
            }
            m_error = end;
        }
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        if (m_error) {
            GError *error = nullptr;
            gst_message_parse_error(m_error, &error, nullptr);
            const StoryError failure = fromGError(error);
            g_error_free(error);
            throw failure;
        }
        throw StoryError::renderFailed();
    }

private:
    GstElement *m_pipeline = nullptr;
    GstElement *m_source = nullptr;
    GstBus *m_bus = nullptr;
    GstBufferPool *m_pool = nullptr;
    GstMessage *m_error = nullptr;
};

} // namespace

// ------------------------------------------------------------------ the entry

QCoro::Task<QUrl> StoryVideoRenderer::render(StoryConfig config, Progress onProgress)
{
    // The work is held in named locals: g++ 12 destroys temporaries of a co_await expression
    // that live across the suspension twice.
    std::function<QUrl()> frames = [config, onProgress] { return renderSilent(config, onProgress); };
    const QUrl silent = co_await onWorker<QUrl>(std::move(frames));
    std::function<QUrl()> audio = [silent, config, onProgress] {
        return attachAudioIfPossible(silent, config, onProgress);
    };
    co_return co_await onWorker<QUrl>(std::move(audio));
}

void StoryVideoRenderer::post(const Progress &onProgress, double value)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!onProgress || !app)
        return;
    QMetaObject::invokeMethod(app, [onProgress, value] { onProgress(value); }, Qt::QueuedConnection);
}

QString StoryVideoRenderer::silentPath()
{
    return QDir(QDir::tempPath()).filePath(QStringLiteral("story-silent.mp4"));
}

QString StoryVideoRenderer::finalPath()
{
    return QDir(QDir::tempPath()).filePath(QStringLiteral("story-final.mp4"));
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

QUrl StoryVideoRenderer::renderSilent(const StoryConfig &config, const Progress &onProgress)
{
    const QString path = silentPath();
    QFile::remove(path);
    const int count = frameCount(config.duration);

    FrameWriter writer(path);
    if (!writer.start())
        throw StoryError::writerNotReady();

    const StoryFrame::ReadyAssets assets(config);
    const Timings timings = computeLineTimings(config);
    for (int i = 0; i < count; ++i) {
        GstBuffer *buffer = writer.acquire();
        if (!buffer)
            throw StoryError::noResources();
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
            QImage frame(map.data, Width, Height, Width * 4, QImage::Format_ARGB32_Premultiplied);
            StoryFrame::drawFrame(frame, config, assets, timings, double(i) / FramesPerSecond);
            gst_buffer_unmap(buffer, &map);
        }
        writer.waitUntilReady();
        writer.append(buffer, i);
        if (i % FramesPerSecond == 0)
            post(onProgress, double(i) / count * 0.8);
        // A writer that failed takes no more frames: stop drawing and report its error.
        if (writer.failed())
            break;
    }
    try {
        writer.finish();
    } catch (...) {
        post(onProgress, 0);
        throw;
    }
    return QUrl::fromLocalFile(path);
}
