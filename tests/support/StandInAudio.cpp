#include "support/StandInAudio.h"

#include "support/StandInServer.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cmath>
#include <memory>
#include <mutex>

namespace standin {

namespace {

constexpr int SampleRate = 44100;
constexpr int SamplesPerBuffer = 1024;
constexpr double LiveLoopSeconds = 4.0;
constexpr double LiveBurstSeconds = 1.5;

QByteArray encode(AudioFormat format, double frequencyHz, double seconds)
{
    const int buffers = std::max(1, int(std::lround(seconds * SampleRate / SamplesPerBuffer)));
    QString encoder;
    switch (format) {
    case AudioFormat::Mp3:
        encoder = QStringLiteral("lamemp3enc target=bitrate bitrate=128 cbr=true");
        break;
    case AudioFormat::Ogg:
        encoder = QStringLiteral("vorbisenc quality=0.2 ! oggmux");
        break;
    case AudioFormat::Opus:
        encoder = QStringLiteral("audioresample ! audio/x-raw,rate=48000 ! opusenc ! oggmux");
        break;
    case AudioFormat::Flac:
        encoder = QStringLiteral("flacenc");
        break;
    case AudioFormat::Aac:
        encoder = QStringLiteral("avenc_aac ! aacparse ! audio/mpeg,stream-format=adts");
        break;
    }
    const QString description =
        QStringLiteral("audiotestsrc num-buffers=%1 samplesperbuffer=%2 freq=%3 volume=0.4 "
                       "! audio/x-raw,rate=%4,channels=2 ! audioconvert ! %5 ! appsink name=out sync=false")
            .arg(buffers)
            .arg(SamplesPerBuffer)
            .arg(frequencyHz, 0, 'f', 2)
            .arg(SampleRate)
            .arg(encoder);
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (error) {
        qWarning("stand-in audio: %s", error->message);
        g_error_free(error);
        if (pipeline)
            gst_object_unref(pipeline);
        return {};
    }
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    QByteArray out;
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    while (GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND)) {
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            out.append(reinterpret_cast<const char *>(map.data), qsizetype(map.size));
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    const bool complete = gst_app_sink_is_eos(GST_APP_SINK(sink));
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return complete ? out : QByteArray();
}

double requestedSeconds(const RecordedRequest &request, double fallback)
{
    bool ok = false;
    const double seconds = request.queryItems().queryItemValue(QStringLiteral("seconds")).toDouble(&ok);
    if (!ok || !std::isfinite(seconds))
        return fallback;
    return std::clamp(seconds, 0.1, 600.0);
}

Reply audioReply(const QByteArray &body, AudioFormat format)
{
    if (body.isEmpty())
        return Reply::text("could not encode audio\n", 500);
    Reply reply;
    reply.body = body;
    reply.contentType = contentType(format);
    reply.acceptRanges = true;
    return reply;
}

// An endless MP3 stream: a short burst, then bytes at the stream's bit rate.
Reply liveReply(const QByteArray &loop)
{
    if (loop.isEmpty())
        return Reply::text("could not encode audio\n", 500);
    struct State {
        QElapsedTimer clock;
        qint64 sent = 0;
        qint64 position = 0;
    };
    auto state = std::make_shared<State>();
    state->clock.start();
    Reply reply;
    reply.contentType = "audio/mpeg";
    reply.streamIntervalMs = 50;
    reply.stream = [state, loop]() -> QByteArray {
        const qint64 due = qint64((LiveBurstSeconds + state->clock.elapsed() / 1000.0) * LiveBytesPerSecond);
        // Never empty: an empty chunk would end the reply.
        const qint64 size = std::max<qint64>(due - state->sent, 64);
        QByteArray chunk;
        chunk.reserve(size);
        while (chunk.size() < size) {
            const qint64 take = std::min<qint64>(size - chunk.size(), loop.size() - state->position);
            chunk.append(loop.constData() + state->position, take);
            state->position = (state->position + take) % loop.size();
        }
        state->sent += size;
        return chunk;
    };
    return reply;
}

} // namespace

QByteArray contentType(AudioFormat format)
{
    switch (format) {
    case AudioFormat::Mp3:
        return "audio/mpeg";
    case AudioFormat::Ogg:
    case AudioFormat::Opus:
        return "audio/ogg";
    case AudioFormat::Flac:
        return "audio/flac";
    case AudioFormat::Aac:
        return "audio/aac";
    }
    return "application/octet-stream";
}

QByteArray toneAudio(AudioFormat format, double frequencyHz, double seconds)
{
    static std::mutex mutex;
    static QHash<QString, QByteArray> cache;
    const QString key = QStringLiteral("%1/%2/%3").arg(int(format)).arg(frequencyHz, 0, 'f', 2).arg(seconds, 0, 'f', 3);
    {
        std::lock_guard guard(mutex);
        const auto it = cache.constFind(key);
        if (it != cache.cend())
            return *it;
    }
    const QByteArray audio = encode(format, frequencyHz, seconds);
    if (!audio.isEmpty()) {
        std::lock_guard guard(mutex);
        cache.insert(key, audio);
    }
    return audio;
}

bool writeToneFile(const QString &path, AudioFormat format, double frequencyHz, double seconds)
{
    const QByteArray audio = toneAudio(format, frequencyHz, seconds);
    if (audio.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(audio);
    return file.commit();
}

double toneFrequency(const QString &key, int index)
{
    // Semitones above 220 Hz, two octaves' worth, chosen by the key and stepped by the index.
    const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Md5);
    const int base = static_cast<unsigned char>(digest.at(0)) % 24;
    const int semitone = ((base + 5 * index) % 24 + 24) % 24;
    return 220.0 * std::pow(2.0, semitone / 12.0);
}

void installAudioRoutes(StandInServer &server, double trackSeconds)
{
    trackSeconds = std::clamp(trackSeconds, 0.1, 600.0);
    // A live loop and a default-length track are ready before the first request; the rest is
    // encoded on first use (a few tens of milliseconds each).
    toneAudio(AudioFormat::Mp3, toneFrequency(QStringLiteral("live")), LiveLoopSeconds);
    toneAudio(AudioFormat::Mp3, toneFrequency(QStringLiteral("pop")), trackSeconds);

    server.route("GET", QStringLiteral("/stream/([^/]+)"), [trackSeconds](const RecordedRequest &request) {
        bool ok = false;
        int track = request.queryItems().queryItemValue(QStringLiteral("track")).toInt(&ok);
        if (!ok)
            track = 0;
        const double frequency = toneFrequency(request.captures.value(0), track);
        return audioReply(toneAudio(AudioFormat::Mp3, frequency, requestedSeconds(request, trackSeconds)), AudioFormat::Mp3);
    });
    server.route("GET", QStringLiteral("/audio/([^/]+)\\.(mp3|ogg|opus|flac|aac)"), [trackSeconds](const RecordedRequest &request) {
        static const QHash<QString, AudioFormat> formats{{QStringLiteral("mp3"), AudioFormat::Mp3},
                                                         {QStringLiteral("ogg"), AudioFormat::Ogg},
                                                         {QStringLiteral("opus"), AudioFormat::Opus},
                                                         {QStringLiteral("flac"), AudioFormat::Flac},
                                                         {QStringLiteral("aac"), AudioFormat::Aac}};
        const AudioFormat format = formats.value(request.captures.value(1));
        const double frequency = toneFrequency(request.captures.value(0));
        return audioReply(toneAudio(format, frequency, requestedSeconds(request, trackSeconds)), format);
    });
    server.route("GET", QStringLiteral("/live/([^/]+)"), [](const RecordedRequest &request) {
        const double frequency = toneFrequency(request.captures.value(0));
        return liveReply(toneAudio(AudioFormat::Mp3, frequency, LiveLoopSeconds));
    });
}

} // namespace standin
