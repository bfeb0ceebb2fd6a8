#include "Services/StoryFrameWriter.h"

#include "Services/StoryVideoRenderer.h"

#include <QFile>
#include <QThread>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr int W = StoryVideoRenderer::Width;
constexpr int H = StoryVideoRenderer::Height;

// I420 frames in, H.264 High 4:2:0 in MPEG-4 out; the muxer gets a queue in front.
constexpr const char *WriterPipeline =
    "appsrc name=frames format=time is-live=false block=false "
    "! x264enc speed-preset=veryfast pass=qual quantizer=20 key-int-max=48 "
    "! video/x-h264,profile=high ! h264parse ! queue ! mp4mux name=mux ! %1 name=file";

// The encoder takes more frames while fewer than this many wait in its input.
constexpr guint64 QueuedFramesLimit = 6;
constexpr gulong ReadinessPollMicroseconds = 5'000;
constexpr GstClockTime FinishLimit = 120 * GST_SECOND;
constexpr int DrawingNiceness = 5;

GstVideoInfo frameInfo(GstVideoFormat format)
{
    GstVideoInfo info;
    gst_video_info_set_format(&info, format, W, H);
    GST_VIDEO_INFO_FPS_N(&info) = StoryVideoRenderer::FramesPerSecond;
    GST_VIDEO_INFO_FPS_D(&info) = 1;
    return info;
}

StoryError errorOf(GstMessage *message)
{
    GError *error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    const StoryError failure = StoryVideoRenderer::mediaError(error->domain, error->code);
    g_error_free(error);
    return failure;
}

// One drawing thread's tools: its own BGRA image and its own converter to I420.
class FrameMaker
{
public:
    FrameMaker() : m_image(W, H, QImage::Format_ARGB32_Premultiplied)
    {
        m_in = frameInfo(GST_VIDEO_FORMAT_BGRA);
        m_out = frameInfo(GST_VIDEO_FORMAT_I420);
        m_converter = gst_video_converter_new(&m_in, &m_out, nullptr);
    }
    ~FrameMaker() { gst_video_converter_free(m_converter); }
    FrameMaker(const FrameMaker &) = delete;
    FrameMaker &operator=(const FrameMaker &) = delete;

    QImage &image() { return m_image; }

    // The image as I420, into `target`.
    bool convert(GstBuffer *target)
    {
        GstBuffer *source = gst_buffer_new_wrapped_full(GST_MEMORY_FLAG_READONLY, m_image.bits(),
                                                        gsize(m_image.sizeInBytes()), 0,
                                                        gsize(m_image.sizeInBytes()), nullptr, nullptr);
        GstVideoFrame in;
        GstVideoFrame out;
        bool done = false;
        if (gst_video_frame_map(&in, &m_in, source, GST_MAP_READ)) {
            if (gst_video_frame_map(&out, &m_out, target, GST_MAP_WRITE)) {
                gst_video_converter_frame(m_converter, &in, &out);
                gst_video_frame_unmap(&out);
                done = true;
            }
            gst_video_frame_unmap(&in);
        }
        gst_buffer_unref(source);
        return done;
    }

private:
    QImage m_image;
    GstVideoInfo m_in;
    GstVideoInfo m_out;
    GstVideoConverter *m_converter = nullptr;
};

} // namespace

int StoryFrameWriter::drawingThreads()
{
    // The encoder keeps the other cores busy.
    return std::clamp(QThread::idealThreadCount() / 2, 1, 4);
}

StoryFrameWriter::StoryFrameWriter(const QString &path, const QString &mediaPath, const char *sink)
{
    GError *error = nullptr;
    m_pipeline = gst_parse_launch(QString::fromLatin1(WriterPipeline).arg(QLatin1String(sink)).toUtf8().constData(),
                                  &error);
    if (error) {
        if (m_pipeline)
            gst_object_unref(m_pipeline);
        const StoryError failure = StoryVideoRenderer::mediaError(error->domain, error->code);
        g_error_free(error);
        throw failure;
    }
    gst_object_ref_sink(m_pipeline);
    m_source = gst_bin_get_by_name(GST_BIN(m_pipeline), "frames");
    const GstVideoInfo info = frameInfo(GST_VIDEO_FORMAT_I420);
    GstCaps *caps = gst_video_info_to_caps(&info);
    g_object_set(m_source, "caps", caps, nullptr);
    GstElement *file = gst_bin_get_by_name(GST_BIN(m_pipeline), "file");
    g_object_set(file, "location", QFile::encodeName(path).constData(), nullptr);
    gst_object_unref(file);
    if (!mediaPath.isEmpty()) {
        GstElement *mux = gst_bin_get_by_name(GST_BIN(m_pipeline), "mux");
        g_object_set(mux, "faststart", TRUE, "faststart-file", QFile::encodeName(mediaPath).constData(), nullptr);
        gst_object_unref(mux);
    }
    m_bus = gst_element_get_bus(m_pipeline);

    // The encoder holds on to frames for its look-ahead, so the pool has no upper bound; it
    // recycles what comes back.
    m_pool = gst_buffer_pool_new();
    GstStructure *config = gst_buffer_pool_get_config(m_pool);
    gst_buffer_pool_config_set_params(config, caps, guint(GST_VIDEO_INFO_SIZE(&info)), 0, 0);
    gst_caps_unref(caps);
    gst_buffer_pool_set_config(m_pool, config);
    gst_buffer_pool_set_active(m_pool, TRUE);
}

StoryFrameWriter::~StoryFrameWriter()
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

void StoryFrameWriter::start()
{
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE)
        return;
    // The file that cannot be opened says why; without a reason, the writer was not ready.
    if (failed())
        throw errorOf(m_error);
    throw StoryError::writerNotReady();
}

bool StoryFrameWriter::failed()
{
    if (!m_error)
        m_error = gst_bus_pop_filtered(m_bus, GST_MESSAGE_ERROR);
    return m_error != nullptr;
}

void StoryFrameWriter::waitUntilReady()
{
    for (;;) {
        guint64 queued = 0;
        g_object_get(m_source, "current-level-buffers", &queued, nullptr);
        if (queued < QueuedFramesLimit || failed())
            return;
        g_usleep(ReadinessPollMicroseconds);
    }
}

void StoryFrameWriter::writeFrames(int count, const Draw &draw, const std::function<void(int)> &onAppended,
                                   const std::atomic<bool> *stop)
{
    // Frames are drawn ahead of the encoder by at most `window`; frame i waits in slot i % window.
    const int threads = std::min(drawingThreads(), std::max(count, 1));
    const int window = 2 * threads;
    struct Slot {
        bool filled = false;
        GstBuffer *buffer = nullptr; // none when the pool gave none
    };
    std::vector<Slot> waiting(static_cast<size_t>(window));
    std::mutex lock;
    std::condition_variable changed;
    int nextToDraw = 0;
    int appended = 0;
    bool quit = false;

    auto drawing = [&] {
        // The drawing threads yield to the GUI thread and the encoder when cores run short.
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), DrawingNiceness);
        FrameMaker maker;
        for (;;) {
            int index = 0;
            {
                std::unique_lock<std::mutex> guard(lock);
                changed.wait(guard, [&] { return quit || nextToDraw >= count || nextToDraw < appended + window; });
                if (quit || nextToDraw >= count)
                    return;
                index = nextToDraw++;
            }
            draw(maker.image(), index);
            GstBuffer *buffer = nullptr;
            if (gst_buffer_pool_acquire_buffer(m_pool, &buffer, nullptr) != GST_FLOW_OK)
                buffer = nullptr;
            else if (!maker.convert(buffer))
                gst_buffer_unref(std::exchange(buffer, nullptr));
            {
                std::lock_guard<std::mutex> guard(lock);
                waiting[size_t(index % window)] = Slot{true, buffer};
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> drawers;
    for (int k = 0; k < threads; ++k)
        drawers.emplace_back(drawing);

    bool shortage = false;
    for (int i = 0; i < count; ++i) {
        GstBuffer *buffer = nullptr;
        {
            std::unique_lock<std::mutex> guard(lock);
            Slot &slot = waiting[size_t(i % window)];
            changed.wait(guard, [&] { return slot.filled; });
            buffer = std::exchange(slot, Slot{}).buffer;
        }
        if (!buffer) {
            shortage = true;
            break;
        }
        waitUntilReady();
        GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(guint64(i), GST_SECOND, StoryVideoRenderer::FramesPerSecond);
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, StoryVideoRenderer::FramesPerSecond);
        gst_app_src_push_buffer(GST_APP_SRC(m_source), buffer);
        {
            std::lock_guard<std::mutex> guard(lock);
            appended = i + 1;
        }
        changed.notify_all();
        onAppended(i);
        // An encoder that failed takes no more frames: stop drawing and report its error.
        if (failed() || (stop && stop->load()))
            break;
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        quit = true;
    }
    changed.notify_all();
    for (std::thread &drawer : drawers)
        drawer.join();
    for (const Slot &left : waiting)
        if (left.buffer)
            gst_buffer_unref(left.buffer);
    if (shortage)
        throw StoryError::noResources();
}

void StoryFrameWriter::finish()
{
    gst_app_src_end_of_stream(GST_APP_SRC(m_source));
    if (!failed()) {
        GstMessage *end = gst_bus_timed_pop_filtered(m_bus, FinishLimit,
                                                     GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS) {
            gst_message_unref(end);
            gst_element_set_state(m_pipeline, GST_STATE_NULL);
            return;
        }
        m_error = end;
    }
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    if (m_error)
        throw errorOf(m_error);
    throw StoryError::renderFailed();
}
