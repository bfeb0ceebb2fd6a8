#include "support/StoryAudioRoutes.h"

#include "support/StandInServer.h"


#include <algorithm>
#include <cmath>
#include <numbers>

namespace standin {

namespace {

constexpr int Rate = 44100;
constexpr int Channels = 2;

void appendLE(QByteArray &out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
}

double queryNumber(const RecordedRequest &request, const QString &key, double fallback)
{
    bool ok = false;
    const double value = request.queryItems().queryItemValue(key).toDouble(&ok);
    return ok && std::isfinite(value) ? std::clamp(value, 0.0, 600.0) : fallback;
}

} // namespace

QByteArray onsetWav(double silenceSeconds, double totalSeconds)
{
    const qint64 frames = qint64(totalSeconds * Rate);
    const qint64 onset = qint64(silenceSeconds * Rate);
    const quint32 dataBytes = quint32(frames * Channels * 2);
    QByteArray out;
    out.reserve(44 + qsizetype(dataBytes));
    out.append("RIFF");
    appendLE(out, 36 + dataBytes, 4);
    out.append("WAVEfmt ");
    appendLE(out, 16, 4);
    appendLE(out, 1, 2); // PCM
    appendLE(out, Channels, 2);
    appendLE(out, Rate, 4);
    appendLE(out, Rate * Channels * 2, 4);
    appendLE(out, Channels * 2, 2);
    appendLE(out, 16, 2);
    out.append("data");
    appendLE(out, dataBytes, 4);
    for (qint64 i = 0; i < frames; ++i) {
        const double value = i < onset ? 0 : 0.5 * std::sin(2 * std::numbers::pi * 1000.0 * double(i - onset) / Rate);
        const auto sample = quint16(qint16(std::lround(value * 32767)));
        for (int c = 0; c < Channels; ++c)
            appendLE(out, sample, 2);
    }
    return out;
}

void installStoryAudioRoutes(StandInServer &server)
{
    server.route("GET", QStringLiteral("/story/onset\\.wav"), [](const RecordedRequest &request) {
        Reply reply;
        reply.body = onsetWav(queryNumber(request, QStringLiteral("silence"), 2),
                              queryNumber(request, QStringLiteral("seconds"), 10));
        reply.contentType = "audio/x-wav";
        reply.acceptRanges = true;
        return reply;
    });
    server.route("GET", QStringLiteral("/story/page\\.html"), [](const RecordedRequest &) {
        return Reply::text("<!doctype html><html><body>not a song</body></html>\n", 200, "text/html");
    });
    server.route("GET", QStringLiteral("/story/stalled\\.mp3"), [](const RecordedRequest &) {
        Reply reply;
        reply.contentType = "audio/mpeg";
        reply.streamIntervalMs = 3'600'000; // the first chunk would come in an hour
        reply.stream = [] { return QByteArray(1, '\0'); };
        return reply;
    });
}

} // namespace standin
