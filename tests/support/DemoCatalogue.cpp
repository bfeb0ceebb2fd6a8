#include "support/DemoCatalogue.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QJsonDocument>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace standin {

namespace {

struct TrackSpec {
    const char *title;
    const char *artist;
    int duration;
};

// A rotation's tracks. `audioExtension` empty: no stream_url (the client builds the /stream/ path);
// otherwise each track streams from /audio/<track_id>.<extension>.
QJsonArray makeTracks(const QString &prefix, int firstId, std::initializer_list<TrackSpec> entries,
                      const QString &audioExtension = QString())
{
    QJsonArray tracks;
    int n = 0;
    for (const TrackSpec &entry : entries) {
        ++n;
        const QString trackId = prefix + u'-' + QString::number(n);
        QJsonObject t{
            {"id", firstId + n - 1},
            {"track_type", "music"},
            {"track_id", trackId},
            {"title", QString::fromUtf8(entry.title)},
            {"artist", QString::fromUtf8(entry.artist)},
            {"artwork_url", "/artwork/" + trackId + ".jpg"},
            {"duration", entry.duration},
        };
        if (!audioExtension.isEmpty())
            t.insert("stream_url", "/audio/" + trackId + '.' + audioExtension);
        tracks.append(t);
    }
    return tracks;
}

QByteArray envelope(const QJsonArray &data)
{
    const QJsonObject reply{{"code", 200}, {"message", "ok"}, {"data", data}};
    return QJsonDocument(reply).toJson(QJsonDocument::Compact);
}

// FNV-1a: stable across runs, unlike qHash.
quint32 stableHash(const QString &text)
{
    quint32 h = 2166136261u;
    for (const char c : text.toUtf8()) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    return h;
}

} // namespace

DemoCatalogue DemoCatalogue::standard()
{
    DemoCatalogue c;

    c.stations.append(QJsonObject{
        {"genre", "persian"},
        {"server_name", "پاپ فارسی"},
        {"display_genre", "پاپ"},
        {"category", "iranian"},
        {"artwork_url", "/artwork/persian.jpg"},
        {"track_index", 2},
        {"track_count", 5},
        {"elapsed_seconds", 12.5},
        {"tracks", makeTracks("persian", 101,
                              {{"باران پاییزی", "آرش نیکو", 30},
                               {"کوچه باغ", "مهتاب رادان", 28},
                               {"ستاره‌ی شب", "سحر کیانی", 32},
                               {"دریای آرام", "آرش نیکو", 26},
                               {"بهار تهران", "نیما فرهمند", 30}})},
    });
    c.stations.append(QJsonObject{
        {"genre", "tehran-live"},
        // A category label as the server name: the card shows the title instead.
        {"server_name", "ایرانی"},
        {"title", "سحر کیانی - شب آرام"},
        {"category", "iranian"},
        {"stream_url", "/live/tehran-live"},
        {"artwork_url", "/artwork/tehran-live.jpg"},
    });
    QJsonArray jazzTracks = makeTracks("jazz", 301,
                                       {{"Blue Corner", "The Night Owls", 31},
                                        {"Smoke Rings", "Lena Hart", 29},
                                        {"Last Tram Home", "Marcus Vale Trio", 33},
                                        {"Velvet Steps", "Lena Hart", 27}},
                                       "mp3");
    // A sloppy backend writes some numbers as strings; the track decoder accepts them.
    QJsonObject second = jazzTracks.at(1).toObject();
    second.insert("id", "302");
    second.insert("duration", "29");
    jazzTracks.replace(1, second);
    c.stations.append(QJsonObject{
        {"genre", "jazz"},
        {"server_name", "Late Night Jazz"},
        {"display_genre", "Jazz"},
        {"category", "international"},
        {"artwork_url", "/artwork/jazz.jpg"},
        {"track_index", 1},
        {"track_count", 4},
        {"elapsed_seconds", 4},
        {"tracks", jazzTracks},
    });
    c.stations.append(QJsonObject{
        {"genre", "pop-live"},
        {"server_name", "Pulse FM"},
        {"title", "Nova Lane - Golden Hour"},
        {"display_genre", "Pop"},
        {"category", "international"},
        {"stream_url", "/live/pop-live"},
        {"artwork_url", "/artwork/pop-live.jpg"},
    });
    c.stations.append(QJsonObject{
        {"genre", "ambient"},
        {"server_name", "Ambient Drift"},
        {"display_genre", "Ambient"},
        {"category", "instrumental"},
        {"artwork_url", "/artwork/ambient.jpg"},
        {"track_count", 3},
        {"tracks", makeTracks("ambient", 401,
                              {{"Tidal Glass", "Orin Sol", 34},
                               {"Slow Meridian", "Kaia Wren", 30},
                               {"Paper Lanterns", "Orin Sol", 28}},
                              "ogg")},
    });
    c.stations.append(QJsonObject{
        {"genre", "songsara-piano"},
        {"server_name", "آرامش پیانو"},
        {"display_genre", "پیانو"},
        {"category", "instrumental"},
        {"source", "songsara"},
        {"artwork_url", "/artwork/songsara-piano.jpg"},
    });

    c.songsaraStations.insert("piano", QJsonObject{
        {"genre", "piano"},
        {"title", "آرامش پیانو"},
        {"source", "songsara"},
        {"artwork_url", "/artwork/songsara-piano.jpg"},
        {"track_index", 0},
        {"track_count", 4},
        {"tracks", makeTracks("piano", 501,
                              {{"نسیم", "رها آذر", 30},
                               {"Morning Keys", "Elias Brandt", 27},
                               {"مهتاب", "رها آذر", 31},
                               {"Quiet Room", "Elias Brandt", 29}},
                              "mp3")},
    });
    return c;
}

QJsonObject DemoCatalogue::station(const QString &genre) const
{
    for (const QJsonValue &v : stations) {
        if (v.toObject().value("genre").toString() == genre)
            return v.toObject();
    }
    return {};
}

void DemoCatalogue::replaceStation(const QJsonObject &station)
{
    const QString genre = station.value("genre").toString();
    for (qsizetype i = 0; i < stations.size(); ++i) {
        if (stations.at(i).toObject().value("genre").toString() == genre) {
            stations.replace(i, station);
            return;
        }
    }
    stations.append(station);
}

void DemoCatalogue::addExtraStations(int count)
{
    for (int n = 1; n <= count; ++n) {
        const QString genre = QStringLiteral("extra-%1").arg(n);
        stations.append(QJsonObject{
            {"genre", genre},
            {"title", QStringLiteral("Extra %1").arg(n)},
            {"category", "music"},
            {"artwork_url", "/artwork/" + genre + ".jpg"},
            {"track_count", 3},
            {"tracks", makeTracks(genre, 100000 + 10 * n, {{"One", "Extra", 180}, {"Two", "Extra", 200}, {"Three", "Extra", 220}})},
        });
    }
}

void DemoCatalogue::streamLiveFrom(const QString &address)
{
    for (qsizetype i = 0; i < stations.size(); ++i) {
        QJsonObject s = stations.at(i).toObject();
        if (!s.value("stream_url").toString().startsWith(QLatin1String("/live/")))
            continue;
        s.insert("stream_url", address);
        stations.replace(i, s);
    }
}

void DemoCatalogue::removeStation(const QString &genre)
{
    for (qsizetype i = 0; i < stations.size(); ++i) {
        if (stations.at(i).toObject().value("genre").toString() == genre) {
            stations.removeAt(i);
            return;
        }
    }
}

void DemoCatalogue::setTrackIndex(const QString &genre, qint64 index)
{
    QJsonObject s = station(genre);
    if (s.isEmpty())
        return;
    s.insert("track_index", index);
    replaceStation(s);
}

std::optional<qint64> DemoCatalogue::advanceRotation(const QString &genre)
{
    QJsonObject s = station(genre);
    const qint64 count = s.value("tracks").toArray().size();
    if (count == 0)
        return std::nullopt;
    const qint64 index = (s.value("track_index").toInteger() % count + count + 1) % count;
    s.insert("track_index", index);
    s.insert("elapsed_seconds", 0);
    replaceStation(s);
    return index;
}

QByteArray artworkJpeg(const QString &name, int size)
{
    const quint32 h = stableHash(name);
    const int hue = int(h % 360);
    const int shift = 60 + int((h >> 9) % 90);
    const QColor from = QColor::fromHsv(hue, 200, 235);
    const QColor to = QColor::fromHsv((hue + shift) % 360, 230, 120);

    QImage image(size, size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, size, size);
    background.setColorAt(0, from);
    background.setColorAt(1, to);
    painter.fillRect(image.rect(), background);
    // A soft glow whose place also depends on the name, so covers differ in shape too.
    const QPointF centre(size * (0.25 + ((h >> 17) % 50) / 100.0), size * (0.25 + ((h >> 23) % 50) / 100.0));
    QRadialGradient glow(centre, size * 0.45);
    glow.setColorAt(0, QColor::fromHsv((hue + 30) % 360, 120, 255, 170));
    glow.setColorAt(1, QColor(0, 0, 0, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(centre, size * 0.45, size * 0.45);
    painter.end();

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

std::shared_ptr<DemoCatalogue> installDemoCatalogue(StandInServer &server, DemoCatalogue catalogue)
{
    auto shared = std::make_shared<DemoCatalogue>(std::move(catalogue));
    auto artworkCache = std::make_shared<QHash<QString, QByteArray>>();

    server.route("GET", QStringLiteral("/api/stations"), [shared](const RecordedRequest &) {
        return Reply::json(envelope(shared->stations));
    });
    server.route("GET", QStringLiteral("/api/songsara/playlist/(.+)"), [shared](const RecordedRequest &r) {
        const auto it = shared->songsaraStations.constFind(r.captures.value(0));
        if (it == shared->songsaraStations.constEnd())
            return Reply::json(R"({"code":404,"message":"playlist not found"})", 404);
        return Reply::json(envelope(QJsonArray{*it}));
    });
    server.route("POST", QStringLiteral("/control/advance/(.+)"), [shared](const RecordedRequest &r) {
        const QString genre = r.captures.value(0);
        const std::optional<qint64> index = shared->advanceRotation(genre);
        if (!index)
            return Reply::json(R"({"code":404,"message":"no such rotation"})", 404);
        return Reply::json(QJsonDocument(QJsonObject{{"genre", genre}, {"track_index", *index}})
                               .toJson(QJsonDocument::Compact));
    });
    server.route("GET", QStringLiteral("/artwork/([^/]{1,200})\\.jpg"), [shared, artworkCache](const RecordedRequest &r) {
        const QString name = r.captures.value(0);
        auto it = artworkCache->find(name);
        if (it == artworkCache->end()) {
            if (artworkCache->size() > 512)
                artworkCache->clear();
            it = artworkCache->insert(name, artworkJpeg(name));
        }
        Reply reply = Reply::text(*it, 200, "image/jpeg");
        reply.delayMs = shared->artworkDelayMs;
        return reply;
    });
    return shared;
}

} // namespace standin
