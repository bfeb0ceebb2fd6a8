// The second stage of a story render: the chosen stretch of the track's audio under the silent
// video, as "story-final.mp4" with its index at the front. Every failure falls back to the silent
// video.

#include "Services/StoryVideoRenderer.h"

#include "Platform/Console.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <gst/audio/audio.h>
#include <gst/gst.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>

namespace {

constexpr GstClockTime PollInterval = 50 * GST_MSECOND;

// Cuts the decoded audio to [start, start + length) of its running time and restamps it from
// zero; sends end-of-stream downstream once the stretch is complete. Runs on the streaming
// thread; the counters are read by the polling thread.
struct AudioClip
{
    GstClockTime start = 0;
    GstClockTime length = 0;
    GstSegment segment;
    bool ended = false;    // the stretch is complete
    bool eosSent = false;  // and its end-of-stream went downstream
    std::atomic<guint64> activity{0};  // every buffer seen, passed or not
    std::atomic<guint64> written{0};   // nanoseconds of audio passed on

    static GstPadProbeReturn probe(GstPad *pad, GstPadProbeInfo *info, gpointer data)
    {
        return static_cast<AudioClip *>(data)->handle(pad, info);
    }

    GstPadProbeReturn sendEnd(GstPad *pad)
    {
        ended = true;
        gst_pad_push_event(pad, gst_event_new_eos()); // passes this probe: eosSent is still false
        eosSent = true;
        return GST_PAD_PROBE_DROP;
    }

    GstPadProbeReturn handle(GstPad *pad, GstPadProbeInfo *info)
    {
        if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
            GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
            if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
                gst_event_copy_segment(event, &segment);
                GstSegment fresh;
                gst_segment_init(&fresh, GST_FORMAT_TIME);
                gst_event_unref(event);
                GST_PAD_PROBE_INFO_DATA(info) = gst_event_new_segment(&fresh);
            } else if (GST_EVENT_TYPE(event) == GST_EVENT_EOS && eosSent) {
                return GST_PAD_PROBE_DROP; // the source's own, after ours
            }
            return GST_PAD_PROBE_OK;
        }
        GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        ++activity;
        if (eosSent)
            return GST_PAD_PROBE_DROP;
        if (ended)
            return sendEnd(pad);
        GstAudioInfo format;
        GstCaps *caps = gst_pad_get_current_caps(pad);
        const bool known = caps && gst_audio_info_from_caps(&format, caps);
        if (caps)
            gst_caps_unref(caps);
        if (!known || !GST_BUFFER_PTS_IS_VALID(buffer) || format.bpf == 0)
            return GST_PAD_PROBE_DROP;

        const GstClockTime at = gst_segment_to_running_time(&segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
        if (!GST_CLOCK_TIME_IS_VALID(at))
            return GST_PAD_PROBE_DROP;
        const gsize frames = gst_buffer_get_size(buffer) / format.bpf;
        const GstClockTime end = start + length;
        auto frameAt = [&](GstClockTime time) -> gsize {
            if (time <= at)
                return 0;
            return std::min<gsize>(frames, gsize(gst_util_uint64_scale_round(time - at, guint64(format.rate), GST_SECOND)));
        };
        const gsize first = frameAt(start);
        const gsize last = frameAt(end);
        if (at >= end)
            return sendEnd(pad);
        if (last <= first)
            return GST_PAD_PROBE_DROP; // wholly before the stretch
        GstBuffer *part = gst_buffer_copy_region(buffer, GstBufferCopyFlags(GST_BUFFER_COPY_METADATA | GST_BUFFER_COPY_MEMORY),
                                                 first * format.bpf, (last - first) * format.bpf);
        const GstClockTime partStart = at + gst_util_uint64_scale_round(first, GST_SECOND, guint64(format.rate));
        const GstClockTime partLength = gst_util_uint64_scale_round(last - first, GST_SECOND, guint64(format.rate));
        GST_BUFFER_PTS(part) = partStart > start ? partStart - start : 0;
        GST_BUFFER_DURATION(part) = partLength;
        GST_BUFFER_DTS(part) = GST_CLOCK_TIME_NONE;
        written = GST_BUFFER_PTS(part) + partLength;
        gst_buffer_unref(buffer);
        GST_PAD_PROBE_INFO_DATA(info) = part;
        if (last < frames || written >= length)
            ended = true; // the next buffer sends end-of-stream (or the source's own does)
        return GST_PAD_PROBE_OK;
    }
};

// The audio half of an attach: the audio decoded, cut to the story's stretch and encoded to AAC
// in an MPEG-4 file of its own. Owned through shared pointers: a source that blocks while opening
// keeps its pipeline (and this) alive on a thread of its own while the render goes on without it.
class AudioExport : public std::enable_shared_from_this<AudioExport>
{
public:
    // Done: the file is written. NoAudio: the audio could not be opened or holds no audio stream.
    // Broken: the pipeline could not be built or started. Empty: the audio ended before the
    // chosen start. Failed: the encoding itself failed or stalled, or was stopped.
    enum class Outcome { Done, NoAudio, Broken, Empty, Failed };

    AudioExport(const QUrl &audio, GstClockTime start, GstClockTime length, const QString &outputPath)
        : m_output(outputPath)
    {
        m_clip.start = start;
        m_clip.length = length;
        gst_segment_init(&m_clip.segment, GST_FORMAT_TIME);
        m_pipeline = GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("story-export")));

        m_decode = make("uridecodebin");
        m_audioConvert = make("audioconvert");
        GstElement *resample = make("audioresample");
        GstElement *format = make("capsfilter");
        GstElement *encode = make("avenc_aac");
        GstElement *audioQueue = make("queue");
        GstElement *mux = make("mp4mux");
        GstElement *sink = make("filesink");
        if (!m_complete)
            return;
        g_object_set(m_decode, "uri", audio.toString(QUrl::FullyEncoded).toUtf8().constData(), nullptr);
        GstCaps *caps = gst_caps_from_string("audio/x-raw,rate=44100,channels=2");
        g_object_set(format, "caps", caps, nullptr);
        gst_caps_unref(caps);
        g_object_set(encode, "bitrate", 192000, nullptr);
        g_object_set(sink, "location", QFile::encodeName(outputPath).constData(), nullptr);

        GstPad *audioIn = gst_element_request_pad_simple(mux, "audio_%u");
        GstPad *audioOut = gst_element_get_static_pad(audioQueue, "src");
        m_complete = gst_element_link_many(m_audioConvert, resample, format, encode, audioQueue, nullptr)
                     && gst_element_link(mux, sink) && audioIn && gst_pad_link(audioOut, audioIn) == GST_PAD_LINK_OK;
        for (GstPad *pad : {audioIn, audioOut})
            if (pad)
                gst_object_unref(pad);

        g_signal_connect(m_decode, "pad-added", G_CALLBACK(&AudioExport::onDecodedPad), this);
        g_signal_connect(m_decode, "no-more-pads", G_CALLBACK(&AudioExport::onNoMorePads), this);

        GstPad *clipped = gst_element_get_static_pad(format, "src");
        gst_pad_add_probe(clipped, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                          &AudioClip::probe, &m_clip, nullptr);
        gst_object_unref(clipped);
    }

    ~AudioExport()
    {
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        gst_object_unref(m_pipeline);
        // Only a finished export leaves a file.
        if (!m_keep) {
            StoryVideoRenderer::removeRegularFile(m_output);
            StoryVideoRenderer::removeRegularFile(m_output + QStringLiteral(".media"));
        }
    }

    AudioExport(const AudioExport &) = delete;
    AudioExport &operator=(const AudioExport &) = delete;

    // Runs the encoding to its end, or until `stop` is set. The stall limit counts from the start,
    // so a source that blocks while opening ends it too.
    Outcome run(int stallLimitMs, const std::atomic<bool> *stop)
    {
        if (!m_complete)
            return Outcome::Broken;
        // Sources open during the state change: it runs on a thread of its own, which owns the
        // pipeline as long as it takes.
        std::thread([self = shared_from_this()] {
            self->m_startFailed = gst_element_set_state(self->m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE;
            self->m_started = true;
        }).detach();
        GstBus *bus = gst_element_get_bus(m_pipeline);
        QElapsedTimer quiet;
        quiet.start();
        guint64 lastActivity = 0;
        Outcome outcome = Outcome::Failed;
        for (;;) {
            GstMessage *message = gst_bus_timed_pop_filtered(bus, PollInterval,
                                                             GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
            if (message) {
                const bool fromAudio = gst_object_has_as_ancestor(GST_MESSAGE_SRC(message), GST_OBJECT(m_decode));
                const bool finished = GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
                gst_message_unref(message);
                if (finished)
                    outcome = m_clip.written > 0 ? Outcome::Done : Outcome::Empty;
                else if (!m_audioFound)
                    outcome = fromAudio ? Outcome::NoAudio : Outcome::Broken;
                break;
            }
            if (m_started && m_startFailed) {
                outcome = Outcome::Broken;
                break;
            }
            if (stop && stop->load())
                break;
            if (m_noMorePads && !m_audioFound) {
                outcome = Outcome::NoAudio;
                break;
            }
            const guint64 activity = m_clip.activity;
            if (activity != lastActivity) {
                lastActivity = activity;
                quiet.restart();
            } else if (quiet.hasExpired(stallLimitMs)) {
                outcome = m_audioFound ? Outcome::Failed : Outcome::NoAudio;
                break;
            }
        }
        gst_object_unref(bus);
        m_keep = outcome == Outcome::Done;
        // A state change still under way (a source blocked while opening) keeps the pipeline;
        // its thread lets it go when it returns.
        if (m_started)
            gst_element_set_state(m_pipeline, GST_STATE_NULL);
        return outcome;
    }

private:
    GstElement *make(const char *factory)
    {
        GstElement *element = gst_element_factory_make(factory, nullptr);
        if (!element) {
            m_complete = false;
            return nullptr;
        }
        gst_bin_add(GST_BIN(m_pipeline), element);
        return element;
    }

    static void onDecodedPad(GstElement *, GstPad *pad, gpointer data)
    {
        auto *self = static_cast<AudioExport *>(data);
        GstCaps *caps = gst_pad_get_current_caps(pad);
        if (!caps)
            caps = gst_pad_query_caps(pad, nullptr);
        const bool audio = caps && !gst_caps_is_empty(caps)
                           && g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "audio/");
        if (caps)
            gst_caps_unref(caps);
        GstPad *sink = gst_element_get_static_pad(self->m_audioConvert, "sink");
        if (audio && !gst_pad_is_linked(sink) && gst_pad_link(pad, sink) == GST_PAD_LINK_OK)
            self->m_audioFound = true;
        gst_object_unref(sink);
    }

    static void onNoMorePads(GstElement *, gpointer data) { static_cast<AudioExport *>(data)->m_noMorePads = true; }

    GstElement *m_pipeline = nullptr;
    GstElement *m_decode = nullptr;
    GstElement *m_audioConvert = nullptr;
    QString m_output;
    bool m_complete = true;
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_startFailed{false};
    std::atomic<bool> m_keep{false};
    AudioClip m_clip;
    std::atomic<bool> m_audioFound{false};
    std::atomic<bool> m_noMorePads{false};
};

GstClockTime clockTime(double seconds)
{
    return GstClockTime(std::llround(seconds * double(GST_SECOND)));
}

// The silent video's H.264 and the prepared AAC, both taken over untouched into one MPEG-4 file
// with its index first. True when the file is complete.
bool remux(const QString &silent, const QString &audio, const QString &output, int stallLimitMs,
           const std::atomic<bool> *stop)
{
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(
        "filesrc name=video ! qtdemux ! h264parse ! queue ! mux.video_0 "
        "filesrc name=audio ! qtdemux ! aacparse ! queue ! mux.audio_0 "
        "mp4mux name=mux faststart=true ! filesink name=out", &error);
    if (error) {
        g_error_free(error);
        if (pipeline)
            gst_object_unref(pipeline);
        return false;
    }
    gst_object_ref_sink(pipeline);
    const auto set = [pipeline](const char *name, const char *property, const QString &path) {
        GstElement *element = gst_bin_get_by_name(GST_BIN(pipeline), name);
        g_object_set(element, property, QFile::encodeName(path).constData(), nullptr);
        gst_object_unref(element);
    };
    set("video", "location", silent);
    set("audio", "location", audio);
    // The index goes first: the muxer keeps the media in a file of its own meanwhile, beside the output.
    set("mux", "faststart-file", output + QStringLiteral(".media"));
    set("out", "location", output);
    bool done = false;
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
        GstBus *bus = gst_element_get_bus(pipeline);
        QElapsedTimer clock;
        clock.start();
        // Both inputs are local files of this render: nothing here waits on the network.
        while (!(stop && stop->load()) && !clock.hasExpired(stallLimitMs)) {
            GstMessage *message = gst_bus_timed_pop_filtered(bus, PollInterval,
                                                             GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
            if (!message)
                continue;
            done = GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
            gst_message_unref(message);
            break;
        }
        gst_object_unref(bus);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    StoryVideoRenderer::removeRegularFile(output + QStringLiteral(".media"));
    return done;
}

} // namespace

struct StoryVideoRenderer::PreparedAudio
{
    AudioExport::Outcome outcome = AudioExport::Outcome::NoAudio;
    bool requested = false; // the config has an audio address
    QString path;           // the encoded stretch, when done
};

std::shared_ptr<StoryVideoRenderer::PreparedAudio>
StoryVideoRenderer::prepareAudio(const StoryConfig &config, const QString &folder, int stallLimitMs,
                                 const std::atomic<bool> *stop)
{
    auto prepared = std::make_shared<PreparedAudio>();
    if (!config.audioURL)
        return prepared;
    prepared->requested = true;
    const QUrl audio = *config.audioURL;
    const double length = clampedDuration(config.duration);
    double start = config.audioStart.value_or(0);
    if (!(start >= 0) || !std::isfinite(start))
        start = 0;
    // A local source is read only when it is a regular file: a pipe or a device could block the
    // export or never end.
    const bool readable = audio.isValid() && !audio.isEmpty()
                          && (!audio.isLocalFile() || QFileInfo(audio.toLocalFile()).isFile());
    if (!readable)
        return prepared;
    prepared->path = QDir(folder).filePath(QStringLiteral("story-audio.m4a"));
    const auto exporter = std::make_shared<AudioExport>(audio, clockTime(start), clockTime(length), prepared->path);
    prepared->outcome = exporter->run(stallLimitMs, stop);
    return prepared;
}

QUrl StoryVideoRenderer::attachPreparedAudio(const QUrl &prerendered, const StoryConfig &config,
                                             const PreparedAudio &prepared, const Progress &onProgress,
                                             int stallLimitMs, const std::atomic<bool> *stop)
{
    post(onProgress, 0.85);
    if (!prepared.requested)
        return prerendered;
    using Outcome = AudioExport::Outcome;
    if (prepared.outcome == Outcome::NoAudio || prepared.outcome == Outcome::Broken) {
        // An encoder left blocked on its source may have opened its file already.
        if (!prepared.path.isEmpty())
            StoryVideoRenderer::removeRegularFile(prepared.path);
        if (prepared.outcome == Outcome::NoAudio)
            Console::line(QStringLiteral("[Story] no audio track found at ") + config.audioURL->toString(QUrl::FullyEncoded));
        return prerendered;
    }
    const QString output = finalPath(QFileInfo(prerendered.toLocalFile()).absolutePath());
    StoryVideoRenderer::removeRegularFile(output);
    const bool done = prepared.outcome == Outcome::Done
                      && remux(prerendered.toLocalFile(), prepared.path, output, stallLimitMs, stop)
                      && QFileInfo(output).size() > 0;
    StoryVideoRenderer::removeRegularFile(prepared.path);
    // The export ran: its end is reported whatever its outcome.
    post(onProgress, 1.0);
    if (done) {
        StoryVideoRenderer::removeRegularFile(prerendered.toLocalFile());
        return QUrl::fromLocalFile(output);
    }
    // A failed or empty export leaves no file: the silent video stays.
    StoryVideoRenderer::removeRegularFile(output);
    return prerendered;
}

QUrl StoryVideoRenderer::attachAudioIfPossible(const QUrl &prerendered, const StoryConfig &config,
                                               const Progress &onProgress, int stallLimitMs,
                                               const std::atomic<bool> *stop)
{
    const QString folder = QFileInfo(prerendered.toLocalFile()).absolutePath();
    const auto prepared = prepareAudio(config, folder, stallLimitMs, stop);
    return attachPreparedAudio(prerendered, config, *prepared, onProgress, stallLimitMs, stop);
}
