#include "support/HostileRoutes.h"

#include "support/StandInAudio.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

namespace standin {

namespace {

constexpr qsizetype ChunkBytes = 256 * 1024;
constexpr qint64 HugeBytes = qint64(100) * 1024 * 1024 * 1024;

Reply endless(const QByteArray &contentType, QByteArray head, qint64 declaredLength = -1)
{
    Reply reply;
    reply.contentType = contentType;
    reply.declaredLength = declaredLength;
    reply.streamIntervalMs = 1;
    QByteArray chunk(ChunkBytes, 'x');
    auto first = std::make_shared<QByteArray>(std::move(head));
    reply.stream = [first, chunk] {
        if (!first->isEmpty())
            return std::exchange(*first, QByteArray()) + chunk;
        return chunk;
    };
    return reply;
}

} // namespace

QByteArray giantJpeg()
{
    static const QByteArray bytes = [] {
        QImage image(5600, 5600, QImage::Format_RGB32);
        image.fill(QColor(40, 90, 160));
        QPainter painter(&image);
        painter.fillRect(QRect(1400, 1400, 2800, 2800), QColor(230, 120, 40));
        painter.end();
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG", 80);
        return out;
    }();
    return bytes;
}

QByteArray giantGif()
{
    // Qt writes no GIF, so it is coded here: one colour throughout, LZW-coded as GIF encoders
    // do, where a run of one colour shrinks to a code per ever longer run.
    static const QByteArray bytes = [] {
        constexpr int Side = 5000;
        QByteArray out("GIF89a");
        const auto le16 = [&out](int v) {
            out.append(char(v & 0xff));
            out.append(char((v >> 8) & 0xff));
        };
        le16(Side);
        le16(Side);
        out.append(QByteArray("\x80\x00\x00" "\x28\x5a\xa0\xff\xff\xff", 9)); // two colours
        out.append(char(0x2c));
        le16(0);
        le16(0);
        le16(Side);
        le16(Side);
        out.append(char(0));

        constexpr int MinCodeSize = 2, Clear = 1 << MinCodeSize, End = Clear + 1, MaxCodes = 4096;
        out.append(char(MinCodeSize));
        QByteArray codes;
        quint32 bits = 0;
        int bitCount = 0;
        int size = MinCodeSize + 1;
        int next = End + 1; // the next free code
        // Writes a code; the codes after it are one bit wider once the table outgrew the width.
        const auto put = [&](int code) {
            bits |= quint32(code) << bitCount;
            for (bitCount += size; bitCount >= 8; bitCount -= 8, bits >>= 8)
                codes.append(char(bits & 0xff));
            if (size < 12 && next > (1 << size) - 1)
                ++size;
        };
        put(Clear);
        int run = 1; // the run of pixels the next code stands for
        for (qint64 left = qint64(Side) * Side;;) {
            const int taken = int(std::min<qint64>(run, left));
            put(taken == 1 ? 0 : End + taken - 1);
            left -= taken;
            if (left == 0)
                break;
            if (next < MaxCodes) {
                ++next;
                ++run;
            } else {
                put(Clear);
                size = MinCodeSize + 1;
                next = End + 1;
                run = 1;
            }
        }
        put(End);
        if (bitCount > 0)
            codes.append(char(bits & 0xff));
        for (qsizetype at = 0; at < codes.size(); at += 255) {
            const QByteArray block = codes.mid(at, 255);
            out.append(char(block.size()));
            out.append(block);
        }
        out.append(char(0));
        out.append(char(0x3b));
        return out;
    }();
    return bytes;
}

QByteArray tricklingPicture()
{
    static const QByteArray bytes = [] {
        QImage image(16, 16, QImage::Format_RGB32);
        image.fill(QColor(200, 40, 40));
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "BMP");
        return out.leftJustified(600, '\0');
    }();
    return bytes;
}

Reply longLineLyrics()
{
    const QByteArray line = QString(1'900'000, QChar(0x0644)).toUtf8(); // 3.8 MB of one Persian letter
    return Reply::json(R"({"code":200,"data":{"found":true,"synced":true,"lines":[{"time":1,"text":")" + line
                       + R"("},{"time":2,"text":"short"}]}})");
}

void installHostileRoutes(StandInServer &server)
{
    // Encoded here, so that no request's time limit runs while the server encodes it.
    toneAudio(AudioFormat::Mp3, 330.0, 2.0);
    for (const QByteArray method : {"GET", "POST"}) {
        server.route(method, QStringLiteral("/hostile/endless/(.*)"), [](const RecordedRequest &request) {
            if (request.captures.value(0).endsWith(QLatin1String(".jpg")))
                return endless("image/jpeg", QByteArray("\xff\xd8\xff\xe0", 4));
            return endless("application/json", R"({"code":200,"message":"ok","data":[)");
        });
        server.route(method, QStringLiteral("/hostile/huge/(.*)"), [](const RecordedRequest &) {
            return endless("audio/mpeg", toneAudio(AudioFormat::Mp3, 330.0, 2.0), HugeBytes);
        });
    }
    server.route("GET", QStringLiteral("/hostile/stall/([^/]+)\\.mp3"), [](const RecordedRequest &request) {
        const QString name = request.captures.value(0);
        const QByteArray track = toneAudio(AudioFormat::Mp3, toneFrequency(name), 60.0);
        Reply reply;
        reply.contentType = "audio/mpeg";
        reply.declaredLength = track.size();
        reply.holdOpenAfterStream = true;
        // A quarter of the track, or half ("late-"): then the source gives up waiting for more
        // (after 15 s) while half of what came is still to be played.
        const qsizetype sent = name.startsWith(QLatin1String("late-")) ? track.size() / 2 : track.size() / 4;
        auto rest = std::make_shared<QByteArray>(track.first(sent));
        reply.stream = [rest] { return std::exchange(*rest, QByteArray()); };
        return reply;
    });
    server.route("GET", QStringLiteral("/hostile/giant\\.jpg"), [](const RecordedRequest &) {
        return Reply::text(giantJpeg(), 200, "image/jpeg");
    });
    server.route("GET", QStringLiteral("/hostile/giant-[^/]*\\.gif"), [](const RecordedRequest &) {
        return Reply::text(giantGif(), 200, "image/gif");
    });
    server.route("GET", QStringLiteral("/hostile/trickle/.*"), [](const RecordedRequest &) {
        Reply reply;
        reply.contentType = "image/bmp";
        reply.declaredLength = tricklingPicture().size();
        reply.streamIntervalMs = 1000;
        auto sent = std::make_shared<qsizetype>(0);
        reply.stream = [sent] {
            const QByteArray body = tricklingPicture();
            return *sent < body.size() ? body.mid((*sent)++, 1) : QByteArray();
        };
        return reply;
    });
    server.route("GET", QStringLiteral("/hostile/long-lyrics/.*"), [](const RecordedRequest &) { return longLineLyrics(); });
    for (const QByteArray method : {"GET", "POST", "PUT", "DELETE"}) {
        server.route(method, QStringLiteral("/hostile/redirect/(30[12378])"), [](const RecordedRequest &request) {
            Reply reply = Reply::text("moved\n", request.captures.value(0).toInt());
            reply.headers.append({"Location", request.queryItems().queryItemValue(QStringLiteral("to"), QUrl::FullyDecoded).toUtf8()});
            return reply;
        });
    }
}

DemoCatalogue hostileCatalogue(const QUrl &base)
{
    // The same server under another host name is another origin.
    QUrl elsewhere = base;
    elsewhere.setHost(QStringLiteral("localhost"));
    const QString away = elsewhere.resolved(QUrl(QStringLiteral("/artwork/elsewhere.jpg"))).toString();

    DemoCatalogue c;
    const auto station = [&c](const char *genre, const char *name, const QString &artwork, const QString &stream) {
        c.stations.append(QJsonObject{{"genre", genre},
                                      {"server_name", name},
                                      {"category", "international"},
                                      {"artwork_url", artwork},
                                      {"stream_url", stream}});
    };
    station("zero", "Device Zero", QStringLiteral("file:///dev/zero"), QStringLiteral("/live/zero"));
    station("random", "Device Random", QStringLiteral("file:///dev/urandom"), QStringLiteral("/live/random"));
    station("endless-art", "Endless Art", QStringLiteral("/hostile/endless/cover.jpg"), QStringLiteral("/live/endless"));
    station("giant-art", "Giant Art", QStringLiteral("/hostile/giant.jpg"), QStringLiteral("/live/giant"));
    station("trickle-art", "Trickling Art", QStringLiteral("/hostile/trickle/cover.bmp"), QStringLiteral("/live/trickle"));
    station("gif-art", "Giant GIF Art", QStringLiteral("/hostile/giant-cover.gif"), QStringLiteral("/live/gif"));
    station("moved-art", "Moved Art", QStringLiteral("/hostile/redirect/307?to=") + QString::fromLatin1(QUrl::toPercentEncoding(away)),
            QStringLiteral("/live/moved"));
    const auto track = [](int id, const char *title, const QString &art, const QString &stream) {
        return QJsonObject{{"id", id},
                           {"track_type", "music"},
                           {"track_id", QStringLiteral("hostile-%1").arg(id)},
                           {"title", title},
                           {"artist", "Hostile"},
                           {"artwork_url", art},
                           {"stream_url", stream},
                           {"duration", 60}};
    };
    c.stations.append(QJsonObject{
        {"genre", "hostile-rotation"},
        {"server_name", "Hostile Rotation"},
        {"category", "international"},
        {"artwork_url", "/hostile/giant.jpg"},
        {"track_index", 0},
        {"track_count", 5},
        {"tracks", QJsonArray{track(1, "Stalls", QStringLiteral("file:///dev/zero"), QStringLiteral("/hostile/stall/s1.mp3")),
                              track(2, "Never Ends", QStringLiteral("/hostile/endless/t2.jpg"), QStringLiteral("/hostile/huge/t2.mp3")),
                              track(3, "Giant Cover", QStringLiteral("/hostile/giant.jpg"), QStringLiteral("/audio/hostile-3.mp3")),
                              track(4, "Giant Again", QStringLiteral("/hostile/giant.jpg?v=2"), QStringLiteral("/audio/hostile-4.ogg")),
                              track(5, "Long Line", QStringLiteral("/hostile/giant-track.gif"), QStringLiteral("/audio/hostile-5.mp3"))}},
    });
    return c;
}

} // namespace standin
