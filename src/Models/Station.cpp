#include "Models/Station.h"

#include "Models/UrlEncoding.h"

#include <QHashFunctions>

namespace {

using L1 = QLatin1StringView;

QVariant variantOf(const std::optional<QString> &v)
{
    return v ? QVariant(*v) : QVariant();
}

QVariant variantOf(const OptionalText &v)
{
    return v ? QVariant(*v) : QVariant();
}

QVariant variantOf(const std::optional<qint64> &v)
{
    return v ? QVariant(*v) : QVariant();
}

QVariant variantOf(const std::optional<double> &v)
{
    return v ? QVariant(*v) : QVariant();
}

bool nonEmpty(const OptionalText &v)
{
    return v && !v->isEmpty();
}

// Lenient integer: a JSON integer, else a string of decimal digits with an optional sign.
std::optional<qint64> lenientInteger(const QJsonValue &v)
{
    if (auto i = json::integerValue(v))
        return i;
    if (v.isString()) {
        const QString text = v.toString();
        if (text.isEmpty())
            return std::nullopt;
        return json::parseInteger(text);
    }
    return std::nullopt;
}

std::optional<QString> lenientString(const QJsonValue &v)
{
    if (v.isString())
        return v.toString();
    return std::nullopt;
}

bool isTrimmedSpace(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

QString trimmed(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isTrimmedSpace(s[begin]))
        ++begin;
    while (end > begin && isTrimmedSpace(s[end - 1]))
        --end;
    return s.mid(begin, end - begin).toString();
}

struct TitleParts {
    QStringView first;
    QStringView last;
    bool found = false;
};

// Splits a live title "Artist - Song" into at most two pieces at a hyphen-minus, dropping empty
// pieces. Leading hyphens only make empty pieces, so "-A - B" splits at the hyphen after "A".
TitleParts splitTitle(QStringView title)
{
    TitleParts parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < title.size(); ++i) {
        if (title[i] != u'-')
            continue;
        if (i > start) {
            parts.first = title.mid(start, i - start);
            const QStringView rest = title.mid(i + 1);
            parts.last = rest.isEmpty() ? parts.first : rest;
            parts.found = true;
            return parts;
        }
        start = i + 1;
    }
    if (start < title.size()) {
        parts.first = parts.last = title.mid(start);
        parts.found = true;
    }
    return parts;
}

bool hasLiveSeparator(const OptionalText &title)
{
    return title && title->contains(QStringView(u" - "));
}

} // namespace

// ---------------------------------------------------------------- PlaylistTrack

PlaylistTrack PlaylistTrack::fromJson(const QJsonValue &value)
{
    const QJsonObject o = json::object(value, u"track");
    PlaylistTrack t;
    const QJsonValue idValue = o.value(L1("id"));
    t.id = lenientInteger(idValue);
    t.trackType = lenientString(o.value(L1("track_type")));

    const QJsonValue trackIdValue = o.value(L1("track_id"));
    if (trackIdValue.isString())
        t.trackID = trackIdValue.toString();
    else if (const auto number = json::integerValue(trackIdValue))
        t.trackID = QString::number(*number);
    else if (idValue.isString())
        t.trackID = idValue.toString();
    else if (t.id)
        t.trackID = QString::number(*t.id);

    t.title = lenientString(o.value(L1("title")));
    t.artist = lenientString(o.value(L1("artist")));
    t.artworkURL = lenientString(o.value(L1("artwork_url")));
    t.streamURL = lenientString(o.value(L1("stream_url")));
    t.duration = lenientInteger(o.value(L1("duration")));
    return t;
}

QJsonObject PlaylistTrack::toJson() const
{
    QJsonObject o;
    json::put(o, L1("id"), id);
    json::put(o, L1("title"), title);
    json::put(o, L1("artist"), artist);
    json::put(o, L1("duration"), duration);
    json::put(o, L1("track_type"), trackType);
    json::put(o, L1("track_id"), trackID);
    json::put(o, L1("artwork_url"), artworkURL);
    json::put(o, L1("stream_url"), streamURL);
    return o;
}

QVariant PlaylistTrack::qmlId() const { return variantOf(id); }
QVariant PlaylistTrack::qmlTrackType() const { return variantOf(trackType); }
QVariant PlaylistTrack::qmlTrackID() const { return variantOf(trackID); }
QVariant PlaylistTrack::qmlTitle() const { return variantOf(title); }
QVariant PlaylistTrack::qmlArtist() const { return variantOf(artist); }
QVariant PlaylistTrack::qmlArtworkURL() const { return variantOf(artworkURL); }
QVariant PlaylistTrack::qmlStreamURL() const { return variantOf(streamURL); }
QVariant PlaylistTrack::qmlDuration() const { return variantOf(duration); }

size_t qHash(const PlaylistTrack &t, size_t seed) noexcept
{
    QtPrivate::QHashCombine combine;
    seed = combine(seed, t.id.value_or(0));
    seed = combine(seed, t.trackType.value_or(QString()));
    seed = combine(seed, t.trackID.value_or(QString()));
    seed = combine(seed, t.title.value_or(QString()));
    seed = combine(seed, t.artist.value_or(QString()));
    seed = combine(seed, t.artworkURL.value_or(QString()));
    seed = combine(seed, t.streamURL.value_or(QString()));
    seed = combine(seed, t.duration.value_or(0));
    return seed;
}

// ---------------------------------------------------------------- Station

Station Station::fromJson(const QJsonValue &value)
{
    const QJsonObject o = json::object(value, u"station");
    Station s;
    s.genre = json::requiredString(o, L1("genre"));
    s.title = json::optionalString(o, L1("title"));
    s.artist = json::optionalString(o, L1("artist"));
    s.source = json::optionalString(o, L1("source"));
    s.category = json::optionalString(o, L1("category"));
    s.tracks = json::optionalArray<PlaylistTrack>(o, L1("tracks"));
    s.serverName = json::optionalString(o, L1("server_name"));
    s.streamURL = json::optionalString(o, L1("stream_url"));
    s.artworkURL = json::optionalString(o, L1("artwork_url"));
    s.displayGenre = json::optionalString(o, L1("display_genre"));
    s.trackIndex = json::optionalInteger(o, L1("track_index"));
    s.trackCount = json::optionalInteger(o, L1("track_count"));
    s.elapsedSeconds = json::optionalDouble(o, L1("elapsed_seconds"));
    return s;
}

QJsonObject Station::toJson() const
{
    QJsonObject o;
    o.insert(L1("genre"), genre);
    json::put(o, L1("title"), title);
    json::put(o, L1("artist"), artist);
    json::put(o, L1("source"), source);
    json::put(o, L1("category"), category);
    json::put(o, L1("tracks"), tracks);
    json::put(o, L1("server_name"), serverName);
    json::put(o, L1("stream_url"), streamURL);
    json::put(o, L1("artwork_url"), artworkURL);
    json::put(o, L1("display_genre"), displayGenre);
    json::put(o, L1("track_index"), trackIndex);
    json::put(o, L1("track_count"), trackCount);
    json::put(o, L1("elapsed_seconds"), elapsedSeconds);
    return o;
}

bool Station::operator==(const Station &other) const
{
    return genre == other.genre && title == other.title && artworkURL == other.artworkURL
        && trackIndex == other.trackIndex;
}

size_t qHash(const Station &station, size_t seed) noexcept
{
    return qHash(station.genre, seed);
}

qint64 Station::normalizedTrackIndex() const
{
    if (!hasTracks())
        return 0;
    const qint64 n = tracks->size();
    const qint64 i = trackIndex.value_or(0);
    return ((i % n) + n) % n;
}

const PlaylistTrack *Station::currentTrack() const
{
    if (!hasTracks())
        return nullptr;
    return &tracks->at(normalizedTrackIndex());
}

QString Station::displayName() const
{
    static const QString iranian = QStringLiteral("ایرانی");
    static const QString internationalSpaced = QStringLiteral("بین المللی");
    static const QString internationalJoined = QStringLiteral("بین\u200cالمللی");
    if (nonEmpty(serverName) && *serverName != iranian && *serverName != internationalSpaced
        && *serverName != internationalJoined)
        return *serverName;
    if (nonEmpty(title))
        return *title;
    return genre;
}

QString Station::displayTrackTitle() const
{
    if (const PlaylistTrack *track = currentTrack(); track && nonEmpty(track->title))
        return *track->title;
    if (nonEmpty(title)) {
        if (!hasLiveSeparator(title))
            return *title;
        return trimmed(splitTitle(*title).last);
    }
    return displayName();
}

QString Station::displayArtist() const
{
    if (const PlaylistTrack *track = currentTrack(); track && nonEmpty(track->artist))
        return *track->artist;
    if (nonEmpty(artist))
        return *artist;
    if (hasLiveSeparator(title))
        return trimmed(splitTitle(*title).first);
    return QString();
}

bool Station::needsHydration() const
{
    return source == QStringLiteral("songsara") && !hasTracks();
}

std::optional<QString> Station::currentStreamURL() const
{
    if (!hasTracks())
        return streamURL;
    const PlaylistTrack *track = currentTrack();
    if (nonEmpty(track->streamURL))
        return track->streamURL;
    return QStringLiteral("/stream/") + url::pathSegment(genre) + QStringLiteral("?track=")
        + QString::number(normalizedTrackIndex());
}

QString Station::currentTrackID() const
{
    if (hasTracks())
        return genre + u'#' + QString::number(normalizedTrackIndex());
    return genre + u'#' + displayTrackTitle();
}

QVariantList Station::toVariantList(const QList<Station> &stations)
{
    QVariantList out;
    out.reserve(stations.size());
    for (const Station &s : stations)
        out.append(QVariant::fromValue(s));
    return out;
}

std::optional<Station> Station::fromVariant(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<Station>())
        return value.value<Station>();
    return std::nullopt;
}

QVariant Station::qmlTitle() const { return variantOf(title); }
QVariant Station::qmlArtist() const { return variantOf(artist); }
QVariant Station::qmlServerName() const { return variantOf(serverName); }
QVariant Station::qmlStreamURL() const { return variantOf(streamURL); }
QVariant Station::qmlArtworkURL() const { return variantOf(artworkURL); }
QVariant Station::qmlSource() const { return variantOf(source); }
QVariant Station::qmlCategory() const { return variantOf(category); }
QVariant Station::qmlDisplayGenre() const { return variantOf(displayGenre); }
QVariant Station::qmlTrackIndex() const { return variantOf(trackIndex); }
QVariant Station::qmlTrackCount() const { return variantOf(trackCount); }
QVariant Station::qmlElapsedSeconds() const { return variantOf(elapsedSeconds); }
QVariant Station::qmlCurrentStreamURL() const { return variantOf(currentStreamURL()); }

QVariantList Station::qmlTracks() const
{
    QVariantList out;
    if (tracks) {
        out.reserve(tracks->size());
        for (const PlaylistTrack &t : *tracks)
            out.append(QVariant::fromValue(t));
    }
    return out;
}

QVariant Station::qmlCurrentTrack() const
{
    const PlaylistTrack *track = currentTrack();
    return track ? QVariant::fromValue(*track) : QVariant();
}
