#include "Platform/AudioRecorder.h"

#include <gst/gst.h>

namespace {

constexpr GstClockTime kStartTimeout = 5 * GST_SECOND;

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

AudioRecorder::AudioRecorder(QString filePath, Settings settings, QString source)
    : m_filePath(std::move(filePath)), m_settings(settings), m_source(std::move(source))
{
}

AudioRecorder::~AudioRecorder()
{
    release();
}

bool AudioRecorder::record(QString *error)
{
    std::lock_guard lock(m_mutex);
    if (m_cancelled) {
        setError(error, QStringLiteral("cancelled"));
        return false;
    }
    if (m_pipeline) {
        setError(error, QStringLiteral("already recording"));
        return false;
    }
    // The source comes first so that its description may hold a whole chain ("filesrc ! decodebin").
    const QString description =
        QStringLiteral("%1 ! identity sync=true ! audioconvert ! audioresample"
                       " ! capsfilter caps=\"audio/x-raw,rate=%2,channels=%3\""
                       " ! avenc_aac bitrate=%4 ! mp4mux ! filesink name=recording_sink")
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
    g_object_set(sink, "location", m_filePath.toLocal8Bit().constData(), nullptr);
    gst_object_unref(sink);

    m_pipeline = pipeline;
    // A live source opens its device on the way to READY; what fails later in the start-up
    // (negotiation, a device that goes away) shows while the state change completes.
    GstStateChangeReturn started = gst_element_set_state(pipeline, GST_STATE_PLAYING);
    if (started == GST_STATE_CHANGE_ASYNC)
        started = gst_element_get_state(pipeline, nullptr, nullptr, kStartTimeout);
    if (started == GST_STATE_CHANGE_FAILURE) {
        GstBus *bus = gst_element_get_bus(pipeline);
        GstMessage *message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
        setError(error, message ? messageText(message) : QStringLiteral("the source does not start"));
        if (message)
            gst_message_unref(message);
        gst_object_unref(bus);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
        m_pipeline = nullptr;
        return false;
    }
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
    // record() holds the lock for the whole start: this waits for it.
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    releaseLocked();
}

void AudioRecorder::release()
{
    std::lock_guard lock(m_mutex);
    releaseLocked();
}

void AudioRecorder::releaseLocked()
{
    if (!m_pipeline)
        return;
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    gst_object_unref(m_pipeline);
    m_pipeline = nullptr;
}
