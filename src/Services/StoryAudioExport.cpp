// The second stage of a story render: the chosen stretch of the track's audio under the silent
// video, as "story-final.mp4" with its index at the front. Every failure falls back to the silent
// video.

#include "Services/StoryVideoRenderer.h"

#include "Platform/Console.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <gst/audio/audio.h>
#include <gst/gst.h>

#include <atomic>
#include <cmath>

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

// One attach: the silent video demuxed and re-muxed untouched, the audio decoded, cut, encoded
// to AAC, both into one MPEG-4 file written with its index first.
class AudioExport
{
public:
    // Done: the file is written. NoAudio: the audio could not be opened or holds no audio stream.
    // NoVideo: the silent video could not be read (or the pipeline not built). Failed: the export
    // itself failed or stalled.
    enum class Outcome { Done, NoAudio, NoVideo, Failed };

    AudioExport(const QString &silentPath, const QUrl &audio, GstClockTime start, GstClockTime length,
                const QString &outputPath)
    {
        m_clip.start = start;
        m_clip.length = length;
        gst_segment_init(&m_clip.segment, GST_FORMAT_TIME);
        m_pipeline = GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("story-export")));

        GstElement *file = make("filesrc");
        GstElement *demux = make("qtdemux");
        m_videoParse = make("h264parse");
        GstElement *videoQueue = make("queue");
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
        g_object_set(file, "location", QFile::encodeName(silentPath).constData(), nullptr);
        g_object_set(m_decode, "uri", audio.toString(QUrl::FullyEncoded).toUtf8().constData(), nullptr);
        GstCaps *caps = gst_caps_from_string("audio/x-raw,rate=44100,channels=2");
        g_object_set(format, "caps", caps, nullptr);
        gst_caps_unref(caps);
        g_object_set(encode, "bitrate", 192000, nullptr);
        // The index goes first: the muxer keeps the media in a file of its own meanwhile, beside the output.
        const QByteArray mediaStore = QFile::encodeName(outputPath + QStringLiteral(".media"));
        g_object_set(mux, "faststart", TRUE, "faststart-file", mediaStore.constData(), nullptr);
        g_object_set(sink, "location", QFile::encodeName(outputPath).constData(), nullptr);

        GstPad *videoIn = gst_element_request_pad_simple(mux, "video_%u");
        GstPad *audioIn = gst_element_request_pad_simple(mux, "audio_%u");
        GstPad *videoOut = gst_element_get_static_pad(videoQueue, "src");
        GstPad *audioOut = gst_element_get_static_pad(audioQueue, "src");
        m_complete = gst_element_link(file, demux) && gst_element_link_many(m_videoParse, videoQueue, nullptr)
                     && gst_element_link_many(m_audioConvert, resample, format, encode, audioQueue, nullptr)
                     && gst_element_link(mux, sink) && videoIn && audioIn
                     && gst_pad_link(videoOut, videoIn) == GST_PAD_LINK_OK
                     && gst_pad_link(audioOut, audioIn) == GST_PAD_LINK_OK;
        for (GstPad *pad : {videoIn, audioIn, videoOut, audioOut})
            if (pad)
                gst_object_unref(pad);

        g_signal_connect(demux, "pad-added", G_CALLBACK(&AudioExport::onDemuxPad), this);
        g_signal_connect(m_decode, "pad-added", G_CALLBACK(&AudioExport::onDecodedPad), this);
        g_signal_connect(m_decode, "no-more-pads", G_CALLBACK(&AudioExport::onNoMorePads), this);

        GstPad *clipped = gst_element_get_static_pad(format, "src");
        gst_pad_add_probe(clipped, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                          &AudioClip::probe, &m_clip, nullptr);
        gst_object_unref(clipped);
        GstPad *parsed = gst_element_get_static_pad(m_videoParse, "src");
        gst_pad_add_probe(parsed, GST_PAD_PROBE_TYPE_BUFFER, &AudioExport::onVideoBuffer, this, nullptr);
        gst_object_unref(parsed);
    }

    ~AudioExport()
    {
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        gst_object_unref(m_pipeline);
    }

    AudioExport(const AudioExport &) = delete;
    AudioExport &operator=(const AudioExport &) = delete;

    // Runs the export to its end. `onPoll` is called every 50 ms once the audio was found, with
    // the fraction of the stretch written so far.
    Outcome run(int stallLimitMs, const std::function<void(double)> &onPoll)
    {
        if (!m_complete || gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
            return Outcome::NoVideo;
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
                    outcome = Outcome::Done;
                else if (!m_audioFound)
                    outcome = fromAudio ? Outcome::NoAudio : Outcome::NoVideo;
                break;
            }
            if (m_noMorePads && !m_audioFound) {
                outcome = Outcome::NoAudio;
                break;
            }
            const guint64 activity = m_clip.activity + m_videoActivity;
            if (activity != lastActivity) {
                lastActivity = activity;
                quiet.restart();
            } else if (quiet.hasExpired(stallLimitMs)) {
                outcome = m_audioFound ? Outcome::Failed : Outcome::NoAudio;
                break;
            }
            if (m_audioFound)
                onPoll(m_clip.length ? std::min(1.0, double(m_clip.written) / double(m_clip.length)) : 1.0);
        }
        gst_object_unref(bus);
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

    static void onDemuxPad(GstElement *, GstPad *pad, gpointer data)
    {
        auto *self = static_cast<AudioExport *>(data);
        GstPad *sink = gst_element_get_static_pad(self->m_videoParse, "sink");
        if (!gst_pad_is_linked(sink)) {
            GstCaps *caps = gst_pad_query_caps(pad, nullptr);
            const bool video = caps && g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "video/");
            if (caps)
                gst_caps_unref(caps);
            if (video)
                gst_pad_link(pad, sink);
        }
        gst_object_unref(sink);
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

    static GstPadProbeReturn onVideoBuffer(GstPad *, GstPadProbeInfo *, gpointer data)
    {
        ++static_cast<AudioExport *>(data)->m_videoActivity;
        return GST_PAD_PROBE_OK;
    }

    GstElement *m_pipeline = nullptr;
    GstElement *m_decode = nullptr;
    GstElement *m_audioConvert = nullptr;
    GstElement *m_videoParse = nullptr;
    bool m_complete = true;
    AudioClip m_clip;
    std::atomic<bool> m_audioFound{false};
    std::atomic<bool> m_noMorePads{false};
    std::atomic<guint64> m_videoActivity{0};
};

GstClockTime clockTime(double seconds)
{
    return GstClockTime(std::llround(seconds * double(GST_SECOND)));
}

} // namespace

QUrl StoryVideoRenderer::attachAudioIfPossible(const QUrl &prerendered, const StoryConfig &config,
                                               const Progress &onProgress, int stallLimitMs)
{
    post(onProgress, 0.85);
    if (!config.audioURL)
        return prerendered;
    const QUrl audio = *config.audioURL;
    const double length = clampedDuration(config.duration);
    double start = config.audioStart.value_or(0);
    if (!(start >= 0) || !std::isfinite(start))
        start = 0;

    const QString output = finalPath();
    QFile::remove(output);
    AudioExport exporter(prerendered.toLocalFile(), audio, clockTime(start), clockTime(length), output);
    const AudioExport::Outcome outcome =
        audio.isValid() && !audio.isEmpty()
            ? exporter.run(stallLimitMs, [&](double written) { post(onProgress, 0.85 + 0.15 * written); })
            : AudioExport::Outcome::NoAudio;
    if (outcome == AudioExport::Outcome::NoAudio || outcome == AudioExport::Outcome::NoVideo) {
        QFile::remove(output);
        if (outcome == AudioExport::Outcome::NoAudio)
            Console::line(QStringLiteral("[Story] no audio track found at ") + audio.toString(QUrl::FullyEncoded));
        return prerendered;
    }
    // The export ran: its end is reported whatever its outcome.
    post(onProgress, 1.0);
    if (outcome == AudioExport::Outcome::Done && QFileInfo(output).size() > 0) {
        QFile::remove(prerendered.toLocalFile());
        return QUrl::fromLocalFile(output);
    }
    QFile::remove(output);
    return prerendered;
}
