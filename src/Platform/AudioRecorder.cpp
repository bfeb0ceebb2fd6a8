#include "Platform/AudioRecorder.h"

#include <QFile>

#include <gst/gst.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

struct AudioRecorder::Start {
    enum class State { Pending, Started, Failed };

    std::mutex mutex;
    std::condition_variable changed;
    State state = State::Pending;
    bool abandoned = false; // record() gave up on it: the start's thread releases what it holds
    QString error;
    int timeoutMs = 0;
    // Held by the start's thread while it runs, then by record(), or by the thread for good
    // when the start was abandoned.
    GstElement *pipeline = nullptr;
    int fd = -1;
};

namespace {

QString messageText(GstMessage *message)
{
    GError *error = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    QString text = QString::fromUtf8(error ? error->message : "unknown error");
    if (debug)
        text += QStringLiteral(" (") + QString::fromUtf8(debug) + QLatin1Char(')');
    if (error)
        g_error_free(error);
    g_free(debug);
    return text;
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// Stops a pipeline and releases it with the descriptor it wrote into.
void dispose(GstElement *pipeline, int fd)
{
    if (pipeline) {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }
    if (fd >= 0)
        ::close(fd);
}

// The start's own thread: brings the pipeline to PLAYING, which may block for as long as the
// source takes to open, then reports to record() or, when record() gave up, releases it all.
void runStart(const std::shared_ptr<AudioRecorder::Start> &start)
{
    GstElement *pipeline = start->pipeline;
    // A live source opens its device on the way to PLAYING; what fails later in the start-up
    // (negotiation, a device that goes away) shows while the state change completes.
    GstStateChangeReturn started = gst_element_set_state(pipeline, GST_STATE_PLAYING);
    if (started == GST_STATE_CHANGE_ASYNC)
        started = gst_element_get_state(pipeline, nullptr, nullptr, GstClockTime(start->timeoutMs) * GST_MSECOND);
    QString failure;
    if (started == GST_STATE_CHANGE_FAILURE) {
        GstBus *bus = gst_element_get_bus(pipeline);
        GstMessage *message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
        failure = message ? messageText(message) : QStringLiteral("the source does not start");
        if (message)
            gst_message_unref(message);
        gst_object_unref(bus);
    } else if (started == GST_STATE_CHANGE_ASYNC) {
        failure = QStringLiteral("the source did not start in time");
    }

    std::unique_lock lock(start->mutex);
    if (start->abandoned) {
        GstElement *abandoned = std::exchange(start->pipeline, nullptr);
        const int fd = std::exchange(start->fd, -1);
        lock.unlock();
        dispose(abandoned, fd);
        return;
    }
    start->state = failure.isEmpty() ? AudioRecorder::Start::State::Started : AudioRecorder::Start::State::Failed;
    start->error = failure;
    start->changed.notify_all();
}

} // namespace

QString AudioRecorder::defaultSource()
{
    const QString configured = qEnvironmentVariable(SourceVariable).trimmed();
    if (!configured.isEmpty())
        return configured;
    if (GstElementFactory *pulse = gst_element_factory_find("pulsesrc")) {
        gst_object_unref(pulse);
        return QStringLiteral("pulsesrc");
    }
    return QStringLiteral("autoaudiosrc");
}

int AudioRecorder::createExclusively(const QString &path, QString *error, bool *exists)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          0600);
    const int reason = errno;
    if (exists)
        *exists = fd < 0 && (reason == EEXIST || reason == ELOOP);
    if (fd < 0)
        setError(error, QString::fromLocal8Bit(std::strerror(reason)));
    return fd;
}

AudioRecorder::AudioRecorder(int fileDescriptor, QString filePath, Settings settings, QString source)
    : m_filePath(std::move(filePath)), m_settings(settings), m_source(std::move(source)), m_fd(fileDescriptor)
{
}

AudioRecorder::~AudioRecorder()
{
    release();
}

bool AudioRecorder::record(QString *error)
{
    std::shared_ptr<Start> start;
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled) {
            setError(error, QStringLiteral("cancelled"));
            return false;
        }
        if (m_pipeline || m_start) {
            setError(error, QStringLiteral("already recording"));
            return false;
        }
        if (m_fd < 0) {
            setError(error, QStringLiteral("no file to record into"));
            return false;
        }
        // The source comes first so that its description may hold a whole chain ("filesrc ! decodebin").
        const QString description =
            QStringLiteral("%1 ! identity sync=true ! audioconvert ! audioresample"
                           " ! capsfilter caps=\"audio/x-raw,rate=%2,channels=%3\""
                           " ! avenc_aac bitrate=%4 ! mp4mux ! fdsink name=recording_sink")
                .arg(m_source)
                .arg(m_settings.sampleRate)
                .arg(m_settings.channels)
                .arg(m_settings.bitRate);
        GError *parseError = nullptr;
        GstElement *pipeline = gst_parse_launch_full(description.toUtf8().constData(), nullptr,
                                                     GST_PARSE_FLAG_FATAL_ERRORS, &parseError);
        if (!pipeline || parseError) {
            setError(error, QStringLiteral("cannot build the recording pipeline: ")
                                + QString::fromUtf8(parseError ? parseError->message : "unknown"));
            if (parseError)
                g_error_free(parseError);
            if (pipeline)
                gst_object_unref(pipeline);
            return false;
        }
        GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "recording_sink");
        g_object_set(sink, "fd", m_fd, nullptr);
        gst_object_unref(sink);

        start = std::make_shared<Start>();
        start->timeoutMs = m_settings.startTimeoutMs;
        start->pipeline = pipeline;
        start->fd = std::exchange(m_fd, -1);
        m_start = start;
    }
    std::thread([start] { runStart(start); }).detach();

    std::unique_lock wait(start->mutex);
    start->changed.wait_for(wait, std::chrono::milliseconds(m_settings.startTimeoutMs),
                            [&] { return start->state != Start::State::Pending || start->abandoned; });
    if (start->state == Start::State::Pending) {
        // The source is still opening, perhaps for ever: its thread releases it all when it ends.
        const bool cancelled = start->abandoned;
        start->abandoned = true;
        wait.unlock();
        std::lock_guard lock(m_mutex);
        m_start.reset();
        setError(error, cancelled ? QStringLiteral("cancelled")
                                  : QStringLiteral("the source did not start within %1 ms")
                                        .arg(m_settings.startTimeoutMs));
        return false;
    }
    // The start has ended: the pipeline is back in this thread's hands.
    GstElement *pipeline = std::exchange(start->pipeline, nullptr);
    const int fd = std::exchange(start->fd, -1);
    const bool started = start->state == Start::State::Started;
    const QString failure = start->error;
    wait.unlock();

    std::lock_guard lock(m_mutex);
    m_start.reset();
    if (!started || m_cancelled) {
        dispose(pipeline, fd);
        setError(error, started ? QStringLiteral("cancelled") : failure);
        return false;
    }
    m_pipeline = pipeline;
    m_fd = fd;
    return true;
}

void AudioRecorder::stop()
{
    std::lock_guard lock(m_mutex);
    if (m_pipeline)
        gst_element_send_event(m_pipeline, gst_event_new_eos());
}

bool AudioRecorder::waitUntilFinished(int timeoutMs, QString *error)
{
    GstElement *pipeline = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (!m_pipeline) {
            setError(error, QStringLiteral("not recording"));
            return false;
        }
        pipeline = GST_ELEMENT(gst_object_ref(m_pipeline));
    }
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *message = gst_bus_timed_pop_filtered(
        bus, GstClockTime(timeoutMs) * GST_MSECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    bool finished = false;
    if (!message) {
        setError(error, QStringLiteral("the recording did not finish in time"));
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        setError(error, messageText(message));
    } else {
        finished = true;
    }
    if (message)
        gst_message_unref(message);
    gst_object_unref(bus);
    gst_object_unref(pipeline);
    release();
    return finished;
}

void AudioRecorder::cancel()
{
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    if (m_start) {
        // Wakes record(), which gives up on the start whether or not the source has opened.
        std::lock_guard startLock(m_start->mutex);
        m_start->abandoned = true;
        m_start->changed.notify_all();
    }
    releaseLocked();
}

void AudioRecorder::release()
{
    std::lock_guard lock(m_mutex);
    releaseLocked();
}

void AudioRecorder::releaseLocked()
{
    dispose(std::exchange(m_pipeline, nullptr), std::exchange(m_fd, -1));
}
