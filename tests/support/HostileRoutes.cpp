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

} // namespace

QByteArray giantGif()
{
    static const QByteArray bytes = [] {
        QImage image(5000, 5000, QImage::Format_Indexed8);
        image.setColorTable({qRgb(40, 90, 160)});
        image.fill(0);
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "GIF");
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
        const QByteArray track = toneAudio(AudioFormat::Mp3, toneFrequency(request.captures.value(0)), 60.0);
        Reply reply;
        reply.contentType = "audio/mpeg";
        reply.declaredLength = track.size();
        reply.holdOpenAfterStream = true;
        auto rest = std::make_shared<QByteArray>(track.first(track.size() / 4));
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
